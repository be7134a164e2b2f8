#!/bin/sh
# Seeds for storyboard_file: storyboards as the program writes them (empty,
# two slides with escapes and other scripts), a foreign root, a damaged one,
# a declared Latin-1 one and one with an entity.
# Usage: storyboard_file.seeds.sh <folder>
set -eu
out=$1
mkdir -p "$out"
seed() { name=$1; shift; printf "$@" > "$out/$name.xml"; }

seed empty '<Slides/>\n'
seed two '<Slides>\n    <Slide settings="&lt;a b=&quot;1&quot;/&gt;&#xa;" filePath="/photos/a &amp; b.jpg"/>\n    <Slide settings="" filePath="/photos/\345\206\231\347\234\237 \321\204.jpg"/>\n</Slides>\n'
seed foreign '<?xml version="1.0"?><Root><!-- c -->text<Item filePath="/a" settings="s"><Deep filePath="/no"/></Item></Root>'
seed damaged '<Slides>\n    <Slide settings="1" filePath="/a"/>\n    <Slide filePath="/b\377c"/>\n'
seed latin1 '<?xml version="1.0" encoding="ISO-8859-1"?><S><Slide filePath="/\351t\351"/></S>'
seed entity '<!DOCTYPE S [<!ENTITY e "/x">]><S><Slide filePath="&e;/y"/></S>'

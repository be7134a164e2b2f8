#!/bin/sh
# Seeds for advertisement_feed: the caller's "region language version" line,
# then a feed with groups and products that match or not, slots with and
# without names, weighted items, comments, and addresses off the web.
# Usage: advertisement_feed.seeds.sh <folder>
set -eu
out=$1
mkdir -p "$out"

printf '%s' 'GB de 1.0.1.50
<ads>
  <group region="US, GB" locale="en,de">
    <product id="slideshow" os="linux-64" min-version="1.0.0.0" max-version="1.9.0.0">
      <context id="banner">
        <item rate="3" id="a1"><url>http://127.0.0.1/a1</url><text>Gr&#252;&#223;e</text><bannerurl>http://127.0.0.1/a1.png</bannerurl></item>
        <item rate="1" id="a2"><url>https://127.0.0.1/a2</url><text>Two</text></item>
      </context>
      <context><item rate="+5" id="any"/></context>
    </product>
    <product id="other"><context id="x"><item rate="1"/></context></product>
  </group>
  <group region="FR"><p><c><i rate="1"/></c></p></group>
</ads>' > "$out/feed.xml"

printf '%s' 'US en 1,0,1,50
<a><b><c><!-- slot --><d id=""><e rate="0" id="z"><url>file:///etc/passwd</url><bannerurl>file:///dev/zero</bannerurl><text>x</text></e></d></c></b></a>' > "$out/odd.xml"

printf '%s' '  
<ads><g><p><c id="s"><i rate="4294967295"/><i rate="4294967295"/></c></p></g></ads>' > "$out/rates.xml"

#!/bin/sh
# Seeds for notification_feed: the feed as the maker writes it, with update
# entries for several platforms, defaults left out, a comment, CDATA, an XML
# declaration and a DOCTYPE, addresses off the web, and elements nested up
# to the bound. Usage: notification_feed.seeds.sh <folder>
set -eu
out=$1
mkdir -p "$out"

printf '%s' '<?xml version="1.0" encoding="UTF-8"?>
<notification>
  <id>42</id><date>01-02-2013</date><time>10:00:00</time>
  <message>Gr&#252;&#223;e! A new version is out.</message>
  <url>http://127.0.0.1/news</url>
  <update>
    <entry name="linux-64"><id>u1</id><version>1.0.2.0</version><message>Update</message><url>https://127.0.0.1/get</url></entry>
    <entry name="windows-32"><version>1.0.1.9</version></entry>
  </update>
</notification>' > "$out/feed.xml"

printf '%s' '<!DOCTYPE notification [<!ENTITY x "y">]><notification><!-- note --><id a="1"> 7 </id><message><![CDATA[<b>Hi</b>]]></message><update id="u"><!-- c --><e name="linux-64"><url>file:///etc/passwd</url></e></update></notification>' > "$out/odd.xml"

printf '%s' '<feed><id>1</id></feed>' > "$out/other-root.xml"

deep=''
i=0
while [ $i -lt 63 ]; do deep="$deep<a>"; i=$((i + 1)); done
printf '%s<notification/>' "$deep" > "$out/deep.xml"

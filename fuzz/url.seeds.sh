#!/bin/sh
# Seeds for url: addresses as feeds, settings and redirects carry them:
# ports, user info, IPv6 hosts, escapes, queries and fragments, other
# schemes, and text that is no URL. Usage: url.seeds.sh <folder>
set -eu
out=$1
mkdir -p "$out"

n=0
for address in \
    'http://127.0.0.1:8765/files/notification/lumivista.xml' \
    'HTTP://Host:8080/a%20b?x=1#top' \
    'http://user:secret@[::1]:80/feed?q=a b#f' \
    'https://host:80@x/%41' \
    'file:///C:/banner.png' \
    'ftp://host' \
    'http://host:/' \
    'no url'; do
    printf '%s' "$address" > "$out/url-$n"
    n=$((n + 1))
done

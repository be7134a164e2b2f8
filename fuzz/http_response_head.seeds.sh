#!/bin/sh
# Seeds for http_response_head: answers' heads as servers send them: a
# plain success, a redirect, an interim answer, continuation lines, header
# names in other cases, and malformed lines.
# Usage: http_response_head.seeds.sh <folder>
set -eu
out=$1
mkdir -p "$out"

printf 'HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 42\r\n\r\n<a/>' > "$out/ok"
printf 'HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:8765/next?x=1\r\nServer: x\r\n\r\n' > "$out/redirect"
printf 'HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n\r\n' > "$out/continue"
printf 'HTTP/1.0 200 \r\ncontent-length: 12abc\r\nX-Long: a\r\n  b\r\n\tc\r\n\r\n' > "$out/continuation"
printf 'HTTP/1.0 200\r\nContent-Type:t\r\n\r\n' > "$out/malformed"

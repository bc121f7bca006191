#!/bin/sh
# make_certs.sh DIR: a certificate authority (DIR/ca.pem, DIR/ca.key) and a
# server certificate for 127.0.0.1 and localhost signed by it (DIR/server.pem,
# DIR/server.key). Files already there are kept, so a launcher built with
# DIR/ca.pem as its extra trusted CA keeps trusting the servers.
set -eu
dir=$1
mkdir -p "$dir"
cd "$dir"
if [ ! -s ca.pem ] || [ ! -s ca.key ]; then
  rm -f server.pem server.key
  openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 3650 \
    -subj "/CN=Corvenhal local test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
fi
if [ ! -s server.pem ] || [ ! -s server.key ]; then
  openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj "/CN=127.0.0.1" 2>/dev/null
  printf 'subjectAltName=IP:127.0.0.1,IP:::1,DNS:localhost\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' >server.ext
  openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 3650 \
    -extfile server.ext 2>/dev/null
  rm -f server.csr server.ext ca.srl
fi

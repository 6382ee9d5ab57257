#!/bin/sh
# Makes the certificates of the loopback test server. Run once; the output is
# checked in next to this script, so builds and tests never run openssl.
#
#   ca.pem / ca.key                 the test CA (trusted only by tests that ask)
#   server.pem / server.key         127.0.0.1 and localhost, signed by the test CA
#   untrusted.pem / untrusted.key   127.0.0.1 and localhost, self-signed: no test
#                                   ever trusts it
#
# Every certificate is valid for 100 years from the day it was made.
set -eu
cd "$(dirname "$0")"
DAYS=36500
SAN="subjectAltName=IP:127.0.0.1,DNS:localhost"

openssl ecparam -name prime256v1 -genkey -noout -out ca.key
openssl req -x509 -new -key ca.key -sha256 -days $DAYS \
  -subj "/CN=Selvorra Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -out ca.pem

openssl ecparam -name prime256v1 -genkey -noout -out server.key
openssl req -new -key server.key -subj "/CN=127.0.0.1" -out server.csr
cat > server.ext <<EXT
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
$SAN
authorityKeyIdentifier=keyid
subjectKeyIdentifier=hash
EXT
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial \
  -sha256 -days $DAYS -extfile server.ext -out server.pem
rm -f server.csr server.ext ca.srl

openssl ecparam -name prime256v1 -genkey -noout -out untrusted.key
openssl req -x509 -new -key untrusted.key -sha256 -days $DAYS \
  -subj "/CN=127.0.0.1" \
  -addext "basicConstraints=critical,CA:FALSE" \
  -addext "extendedKeyUsage=serverAuth" \
  -addext "$SAN" \
  -out untrusted.pem

openssl verify -CAfile ca.pem server.pem

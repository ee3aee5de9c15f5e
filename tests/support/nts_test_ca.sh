#!/usr/bin/env bash
# Makes a test certificate authority and the server certificates the NTS tests use, in DIR:
#   ca.pem                 the authority the client is told to trust
#   good.pem/good.key      localhost (and 127.0.0.1), from ca.pem
#   other.pem/other.key    another host's name, from ca.pem
#   expired.pem/.key       localhost, from ca.pem, valid only in 2020
#   rogue.pem/rogue.key    localhost, from an authority nobody trusts
# Usage: nts_test_ca.sh DIR
set -euo pipefail
dir=$1
cd "$dir"

key() { certtool --generate-privkey --key-type=ecdsa --outfile "$1" 2>/dev/null; }
template() {  # file, common name, extra lines
  printf 'cn = "%s"\n%s\n' "$2" "$3" >"$1"
}

for ca in ca rogue-ca; do
  key "$ca.key"
  template "$ca.tmpl" "Quorvane test $ca" $'ca\ncert_signing_key\nexpiration_days = 30'
  certtool --generate-self-signed --load-privkey "$ca.key" --template "$ca.tmpl" \
    --outfile "$ca.pem" 2>/dev/null
done

server() {  # name, authority, template lines
  key "$1.key"
  template "$1.tmpl" "$1" "$3"$'\ntls_www_server\nsigning_key\nencryption_key'
  certtool --generate-certificate --load-privkey "$1.key" --load-ca-certificate "$2.pem" \
    --load-ca-privkey "$2.key" --template "$1.tmpl" --outfile "$1.pem" 2>/dev/null
}
localhost=$'dns_name = "localhost"\nip_address = "127.0.0.1"'
server good ca "$localhost"$'\nexpiration_days = 30'
server other ca $'dns_name = "other.example"\nexpiration_days = 30'
server expired ca "$localhost"$'\nactivation_date = "2020-01-01 00:00:00 UTC"\nexpiration_date = "2020-02-01 00:00:00 UTC"'
server rogue rogue-ca "$localhost"$'\nexpiration_days = 30'

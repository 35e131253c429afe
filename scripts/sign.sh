#!/usr/bin/env bash
# Signs Windows files (exes, MSI packages) in place with Authenticode, SHA-256, using the
# administrator's own code-signing certificate, with osslsigncode. The certificate comes from
# the environment, in one of two forms:
#   BRENTHAUL_SIGN_PKCS12          a PKCS#12 file (.pfx/.p12) holding the certificate and its key;
#   BRENTHAUL_SIGN_PASSWORD_FILE   the file whose first line is its password (if it has one);
# or
#   BRENTHAUL_SIGN_CERT            the certificate, PEM (the chain may follow it in the file);
#   BRENTHAUL_SIGN_KEY             its private key, PEM; BRENTHAUL_SIGN_PASSWORD_FILE, if set,
#                                  holds the key's password.
# The password is only ever read from its file, never put on a command line, where other users
# of the machine could see it.
#   BRENTHAUL_SIGN_TIMESTAMP_URL   optional: an RFC 3161 time-stamp server, so the signature stays
#                                  valid after the certificate expires.
# Usage: scripts/sign.sh FILE...
#        scripts/sign.sh --configured   (exits 0 when a certificate is configured, 1 otherwise)
set -euo pipefail

configured() {
    [ -n "${BRENTHAUL_SIGN_PKCS12:-}" ] || [ -n "${BRENTHAUL_SIGN_CERT:-}" ]
}
if [ "${1:-}" = "--configured" ]; then
    configured
    exit
fi
if [ $# -eq 0 ]; then
    echo "usage: $0 FILE...   (with BRENTHAUL_SIGN_PKCS12 or BRENTHAUL_SIGN_CERT and _KEY set)" >&2
    exit 2
fi

fail() {
    echo "sign: $*" >&2
    exit 1
}
readable() {
    [ -r "$2" ] || fail "$1 names '$2', which cannot be read"
}

options=(-h sha256 -n Brenthaul)
if [ -n "${BRENTHAUL_SIGN_PKCS12:-}" ]; then
    [ -z "${BRENTHAUL_SIGN_CERT:-}${BRENTHAUL_SIGN_KEY:-}" ] ||
        fail "set either BRENTHAUL_SIGN_PKCS12 or BRENTHAUL_SIGN_CERT and BRENTHAUL_SIGN_KEY, not both"
    readable BRENTHAUL_SIGN_PKCS12 "$BRENTHAUL_SIGN_PKCS12"
    options+=(-pkcs12 "$BRENTHAUL_SIGN_PKCS12")
elif [ -n "${BRENTHAUL_SIGN_CERT:-}" ]; then
    [ -n "${BRENTHAUL_SIGN_KEY:-}" ] || fail "BRENTHAUL_SIGN_CERT is set but BRENTHAUL_SIGN_KEY is not"
    readable BRENTHAUL_SIGN_CERT "$BRENTHAUL_SIGN_CERT"
    readable BRENTHAUL_SIGN_KEY "$BRENTHAUL_SIGN_KEY"
    options+=(-certs "$BRENTHAUL_SIGN_CERT" -key "$BRENTHAUL_SIGN_KEY")
else
    fail "no certificate: set BRENTHAUL_SIGN_PKCS12 (and BRENTHAUL_SIGN_PASSWORD_FILE), or BRENTHAUL_SIGN_CERT and BRENTHAUL_SIGN_KEY"
fi
if [ -n "${BRENTHAUL_SIGN_PASSWORD_FILE:-}" ]; then
    readable BRENTHAUL_SIGN_PASSWORD_FILE "$BRENTHAUL_SIGN_PASSWORD_FILE"
    options+=(-readpass "$BRENTHAUL_SIGN_PASSWORD_FILE")
fi
if [ -n "${BRENTHAUL_SIGN_TIMESTAMP_URL:-}" ]; then
    options+=(-ts "$BRENTHAUL_SIGN_TIMESTAMP_URL")
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/brenthaul-sign.XXXXXX")"
trap 'rm -rf "$work"' EXIT
for file in "$@"; do
    [ -f "$file" ] || fail "'$file' does not exist"
    # osslsigncode writes a new file; it replaces the original only once it is complete.
    signed="$work/$(basename "$file")"
    rm -f "$signed"
    if ! osslsigncode sign "${options[@]}" -in "$file" -out "$signed" >"$work/log" 2>&1; then
        cat "$work/log" >&2
        fail "signing '$file' failed"
    fi
    cat "$signed" >"$file"
    echo "sign: signed $file"
done

#!/bin/bash
# Opening a package within a small address space (256 MiB): a damaged length field in the header
# of a 50 MB package is reported as "Package was corrupted", whatever length it claims; a package
# whose content is larger than the memory allowed is reported as corrupted when its checksum is
# wrong and as out of memory when it is sound.
# usage: damaged_length_test.sh IPK
set -u
ipk=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/uinst_ipk_length.XXXXXX") || exit 1
trap 'rm -rf -- "$work"' EXIT
failures=0

fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

# put_le32 FILE OFFSET VALUE: overwrites four bytes in place.
put_le32() {
    local v=$3
    printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) $((v >> 24 & 255)))" |
        dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

get_le32() {
    od -An -tu4 -j"$2" -N4 "$1" | tr -d ' '
}

# verify FILE STATUS TEXT: "ipk verify" under the memory limit ends with STATUS and says TEXT.
verify() {
    local output status
    output=$( (ulimit -v 262144 && "$ipk" verify "$1") 2>&1)
    status=$?
    [ "$status" -eq "$2" ] || fail "$1: exit status $status instead of $2: $output"
    case $output in
        *"$3"*) ;;
        *) fail "$1: \"$3\" expected, got: $output" ;;
    esac
}

head -c 52428800 /dev/urandom >"$work/random.bin" || exit 1
"$ipk" pack "$work/big.ipk" "$work/random.bin" --level 0 >/dev/null || exit 1
length=$(get_le32 "$work/big.ipk" 8)
verify "$work/big.ipk" 0 ok

cp "$work/big.ipk" "$work/huge-length.ipk"
put_le32 "$work/huge-length.ipk" 8 4294967295
verify "$work/huge-length.ipk" 1 "Package was corrupted"

# Within what the reader reserves up front for a body of this size.
cp "$work/big.ipk" "$work/triple-length.ipk"
put_le32 "$work/triple-length.ipk" 8 $((length * 3))
verify "$work/triple-length.ipk" 1 "Package was corrupted"

# 320 MiB of zeros pack into a few kilobytes; the content cannot fit below the limit.
truncate -s 320M "$work/zeros.bin" || exit 1
"$ipk" pack "$work/zeros.ipk" "$work/zeros.bin" --level 0 >/dev/null || exit 1
rm -f -- "$work/zeros.bin"
verify "$work/zeros.ipk" 1 "out of memory"
put_le32 "$work/zeros.ipk" 4 $(($(get_le32 "$work/zeros.ipk" 4) ^ 1))
verify "$work/zeros.ipk" 1 "Package was corrupted"

[ "$failures" -eq 0 ] && echo "all cases passed"
exit $((failures > 0))

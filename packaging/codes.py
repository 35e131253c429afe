#!/usr/bin/python3
"""Prints the ProductCode and the package code of a Brenthaul package, upper-case GUIDs without
braces, on one line: the ProductCode from the version alone, the package code from the version,
the commit and the SHA-256 of the files it holds. Both are name-based UUIDs (version 5) in a
namespace of Brenthaul's own, so the same inputs always give the same codes.

Usage: codes.py VERSION COMMIT CONTENT_SHA256
"""
import sys
import uuid

NAMESPACE = uuid.UUID("24934F40-40BB-4D32-BCCC-24663DD1BCA6")


def main():
    version, commit, content = sys.argv[1:4]
    product = uuid.uuid5(NAMESPACE, "ProductCode " + version)
    package = uuid.uuid5(NAMESPACE, "PackageCode %s %s %s" % (version, commit, content))
    print(str(product).upper(), str(package).upper())


if __name__ == "__main__":
    main()

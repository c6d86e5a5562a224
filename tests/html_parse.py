#!/usr/bin/env python3
"""Exports every file of the fuzz corpus and the examples as a web page and
parses each page, and the index of several pages, with html5lib in strict
mode: any HTML parse error fails the test.

Usage: html_parse.py HELPEDIT SOURCE_DIR
"""
import os
import subprocess
import sys
import tempfile

import html5lib


def export(helpedit, files, out):
    """Runs the export; returns the pages it wrote, or None when it refused the files."""
    run = subprocess.run([helpedit, "--export=html", *files, "--out=" + out],
                         capture_output=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    if run.returncode == 2 and b"cannot read file" in run.stderr:
        return None  # a file the editor refuses, refused here too
    if run.returncode != 0:
        sys.exit("export of %s failed: %s" % (files, run.stderr.decode(errors="replace")))
    return run.stdout.decode().splitlines()


def main():
    helpedit, source = sys.argv[1], sys.argv[2]
    inputs = [os.path.join(source, "examples", f) for f in sorted(os.listdir(os.path.join(source, "examples")))]
    for folder, _, files in sorted(os.walk(os.path.join(source, "fuzz", "corpus"))):
        inputs += [os.path.join(folder, f) for f in sorted(files)]
    parser = html5lib.HTMLParser(strict=True)
    pages = 0
    with tempfile.TemporaryDirectory() as tmp:
        written = export(helpedit, inputs[:2] if len(inputs) > 1 else inputs, os.path.join(tmp, "index"))
        for n, path in enumerate(inputs):
            written += export(helpedit, [path], os.path.join(tmp, str(n))) or []
        for page in written:
            with open(page, "rb") as f:
                try:
                    parser.parse(f.read())
                except html5lib.html5parser.ParseError as e:
                    sys.exit("%s: %s" % (page, e))
            pages += 1
    print("%d pages parsed without an error" % pages)


if __name__ == "__main__":
    main()

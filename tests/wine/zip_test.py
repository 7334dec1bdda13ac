#!/usr/bin/env python3
"""The Windows download: the zip that scripts/build-windows.sh makes holds
every program and lumigrab.exe beside a README.txt that names them all and
their space-bar keys, with nothing left of its template.

    zip_test.py WINDOWS_BUILD PROGRAMS_TXT"""

import glob
import os
import sys
import zipfile

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import program_expectations  # noqa: E402


def main():
    build, programs_txt = sys.argv[1:3]
    with open(programs_txt) as f:
        programs = f.read().split()
    zips = glob.glob(os.path.join(build, "lumivis-*-windows-x64.zip"))
    if len(zips) != 1:
        sys.exit("expected one zip in %s, found %s" % (build, zips))
    failures = []
    with zipfile.ZipFile(zips[0]) as archive:
        # CPack puts everything in one folder named as the zip.
        names = {name.split("/", 1)[1] for name in archive.namelist() if "/" in name}
        names.discard("")
        expected = {p + ".exe" for p in programs} | {"lumigrab.exe", "README.txt"}
        if names != expected:
            failures.append("zip holds %s, expected %s" % (sorted(names), sorted(expected)))
        readme_name = next((n for n in archive.namelist() if n.endswith("/README.txt")), None)
        readme = archive.read(readme_name).decode("utf-8") if readme_name else ""
    if "@LUMIVIS" in readme:
        failures.append("README.txt keeps a template placeholder")
    for program in programs:
        keys = program_expectations.about(program)
        if program + ".exe" not in readme or keys["Comment"] not in readme:
            failures.append("README.txt does not list %s with its description" % program)
        if keys.get("Space") and "%s: %s" % (program, keys["Space"]) not in readme:
            failures.append("README.txt does not give the space bar of %s" % program)
    for failure in failures:
        print(failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""A production configure refuses every service address that is not HTTPS.

    production_bases.py --cmake CMAKE --source DIR --toolchain FILE --scratch DIR

Each case configures a production build (no tests) with one address over
plain HTTP and expects the configure to fail with that address's message.
"""

import argparse
import os
import shutil
import subprocess
import sys

CASES = [  # (cache variable, plain HTTP value, the message that refuses it)
    ("BRELIO_DRIVE_API_BASE", "http://drive-api.brelio.com",
     "A production build talks to the service over HTTPS only"),
    ("BRELIO_MEMBER_API_BASE", "http://brelio.com/v2/mapi",
     "A production build talks to the member API over HTTPS only"),
    ("BRELIO_UPDATE_BASE", "http://update.brelio.com",
     "A production build fetches updates over HTTPS only"),
    ("BRELIO_TENANT_WEB_BASE", "http://%s.brelio.com",
     "A production build signs in over HTTPS only"),
]


def configure(args, folder, variable, value):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    command = [args.cmake, "-S", args.source, "-B", folder, "-G", "Unix Makefiles",
               "-DCMAKE_TOOLCHAIN_FILE=" + args.toolchain, "-DBRELIO_DEV_BUILD=OFF",
               "-DBRELIO_BUILD_TESTS=OFF", "-D%s=%s" % (variable, value)]
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          universal_newlines=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("--cmake", "--source", "--toolchain", "--scratch"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()

    failures = []
    for variable, value, message in CASES:
        done = configure(args, os.path.join(args.scratch, variable), variable, value)
        if done.returncode == 0:
            failures.append("%s=%s was accepted" % (variable, value))
        elif message not in done.stdout:
            failures.append("%s=%s failed without saying why it is refused:\n%s"
                            % (variable, value, done.stdout[-2000:]))
    shutil.rmtree(args.scratch, ignore_errors=True)
    for failure in failures:
        print("FAIL: " + failure)
    if not failures:
        print("every plain HTTP address was refused")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

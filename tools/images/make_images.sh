#!/bin/sh
# Regenerates assets/images.raw from assets/font.txt and the Debian-packaged sources,
# then the contact sheet docs/assets.png. Needs python3-pil and python3-numpy, run by
# the system Python (a Python from PATH may lack them).
set -eu
here=$(dirname "$0")
/usr/bin/python3 "$here/make_images.py"
/usr/bin/python3 "$here/contact_sheet.py"

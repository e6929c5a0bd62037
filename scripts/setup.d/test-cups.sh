#!/usr/bin/env bash
# Print spooler for the results report: starts cupsd when it is not running and adds the
# PDF printer (cups-pdf), made the default only where no default printer is set, so a
# machine without a physical printer can still print and the end-to-end print test has a
# printer to use. Running it again changes nothing. Where cupsd cannot start (no
# privileges, a sandbox), it says so and leaves the rest of the set-up going: the
# print test then reports itself skipped.
set -u

if ! command -v cupsd >/dev/null 2>&1 || ! command -v lpstat >/dev/null 2>&1; then
  echo "cups: cupsd or lpstat missing, print spooler not set up"
  exit 0
fi

spooler_running() { lpstat -r 2>/dev/null | grep -qx 'scheduler is running'; }

if ! spooler_running; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "cups: cupsd is not running and starting it needs root"
    exit 0
  fi
  # cupsd puts itself in the background once it listens.
  cupsd >/dev/null 2>&1 || true
  for _ in $(seq 1 50); do
    spooler_running && break
    sleep 0.2
  done
  if ! spooler_running; then
    echo "cups: cupsd did not start"
    exit 0
  fi
fi

ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
if ! lpstat -p PDF >/dev/null 2>&1; then
  if [ -r "$ppd" ]; then
    lpadmin -p PDF -v cups-pdf:/ -E -P "$ppd" || echo "cups: could not add the PDF printer"
  else
    echo "cups: $ppd missing (printer-driver-cups-pdf), no PDF printer added"
  fi
fi

# CUPS turns the PDF that Qt sends into PostScript for cups-pdf; its default converter
# leaves the fonts as unnamed glyphs, so the text of the PDF that comes out cannot be read
# back. Cairo's converter keeps it.
if lpstat -v PDF 2>/dev/null | grep -q 'cups-pdf:/'; then
  lpadmin -p PDF -o pdftops-renderer-default=pdftocairo || echo "cups: could not set the PDF printer's converter"
fi

# A person's own default printer stays the default.
if lpstat -p PDF >/dev/null 2>&1 && ! lpstat -d 2>/dev/null | grep -q 'system default destination:'; then
  lpadmin -d PDF || echo "cups: could not make PDF the default printer"
fi

echo "cups: $(lpstat -r 2>&1); $(lpstat -d 2>&1)"
exit 0

#!/usr/bin/env bash
# Starts Qt Designer on a virtual X display (Xvfb) with the built Designer
# plugin on its plugin path and the example form open, with only the widget
# box group "Orlenvo" unfolded, and saves a screenshot of the screen.
# Usage: scripts/designer-screenshot.sh [BUILD_DIR] [OUTPUT]
#   (defaults: build/release, docs/designer-orlenvo.png; BUILD_DIR holds the
#   plugin in lib/designer/ and the program tests/qb_grab_screen)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build/release}")
output=$(realpath -m "${2:-$root/docs/designer-orlenvo.png}")
designer=/usr/lib/qt6/bin/designer
grab=$build/tests/qb_grab_screen
for need in "$designer" "$grab" "$build/lib/designer/libqbarcode_designer.so" "$(command -v xvfb-run)"; do
    [[ -x $need || -f $need ]] || { echo "missing: $need (scripts/setup.sh --tests, and a build with tests)" >&2; exit 1; }
done
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
# Designer's own settings in a scratch home: its windows docked in one, every
# standard widget box group folded, so the "Orlenvo" group shows open. The
# Designer's window takes the screen's upper left two thirds.
mkdir -p "$home/.config/QtProject"
cat >"$home/.config/QtProject/Designer.conf" <<'INI'
[General]
UI=0
[WidgetBox]
Closed%20categories=Layouts,Spacers,Buttons,Item Views (Model-Based),Item Widgets (Item-Based),Containers,Input Widgets,Display Widgets
INI
mkdir -p "$(dirname "$output")"
cat >"$home/session.sh" <<SESSION
#!/usr/bin/env bash
"$designer" "$root/examples/qt_labels/labels.ui" >"$home/designer.log" 2>&1 &
pid=\$!
sleep 6
"$grab" "$output"
status=\$?
kill \$pid
wait \$pid 2>/dev/null
exit \$status
SESSION
chmod +x "$home/session.sh"
HOME=$home XDG_CONFIG_HOME=$home/.config QT_PLUGIN_PATH=$build/lib QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x800x24" "$home/session.sh"
echo "Screenshot of Qt Designer: $output"

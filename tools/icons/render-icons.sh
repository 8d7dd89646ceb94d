#!/usr/bin/env bash
# Regenerates the embedded toolbar and menu icons in resources/images/.
#
# Glyphs come from two open-licensed icon sets on the npm registry
# (lucide-static, ISC; @material-symbols/svg-400, Apache-2.0) plus the few
# pictures drawn for this application in drawn/. Every glyph is rendered as a
# dark (#1e1e1e) shape on a transparent background; the dark theme inverts
# them at run time.
#
# Needs: npm and rsvg-convert (Debian package librsvg2-bin).
#   cd tools/icons && ./render-icons.sh
set -euo pipefail
cd "$(dirname "$0")"

[ -d node_modules/lucide-static ] && [ -d node_modules/@material-symbols/svg-400 ] \
    || npm install --no-audit --no-fund

out=../../resources/images
lucide=node_modules/lucide-static/icons
material=node_modules/@material-symbols/svg-400/outlined
glyph='#1e1e1e'
size=32
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# target name | set | source name
icons="
table-2|lucide|table-2
entity-view|material|table_eye
workflow|lucide|workflow
grid-2x2-plus|lucide|grid-2x2-plus
text-item|lucide|type
group-item|lucide|square-dashed
palette|lucide|palette
filter|lucide|filter
add_box|material|add_box
remove_box|material|indeterminate_check_box
save|lucide|save
save-as|material|save_as
folder-open|lucide|folder-open
power|lucide|power
panel-left|lucide|panel-left
file-plus|lucide|file-plus
database|lucide|database
database-zap|lucide|database-zap
flowchart|material|flowchart
file-pdf|material|picture_as_pdf
svg|lucide|pen-tool
mermaid|lucide|file-code
mermaid_import|lucide|file-input
drawio|material|draw
image_import|material|add_photo_alternate
theme_toggle|lucide|sun-moon
autorenew|material|autorenew
convert_to_text|material|convert_to_text
database_dictionary|material|dictionary
fit_screen|material|fit_screen
notification|material|notifications
pick-color|lucide|pipette
select-all|material|select_all
"

while IFS='|' read -r name set src; do
    [ -z "$name" ] && continue
    case "$set" in
        lucide)
            sed "s/currentColor/$glyph/g" "$lucide/$src.svg" > "$tmp/$name.svg" ;;
        material)
            sed "s|<svg |<svg fill=\"$glyph\" |" "$material/$src.svg" > "$tmp/$name.svg" ;;
    esac
    rsvg-convert -w $size -h $size -o "$out/$name.png" "$tmp/$name.svg"
done <<< "$icons"

# Drawn for this application.
rsvg-convert -w 256 -h 256 -o "$out/quillery-icon.png" drawn/quillery-icon.svg
rsvg-convert -w 588 -h 380 -o "$out/about_bg.png" drawn/about_bg.svg
# The arrows of combo and spin boxes and the check box tick, one colour per
# theme: the style sheets name their images directly, so nothing inverts them.
sed "s/currentColor/$glyph/g" drawn/check.svg > "$tmp/check.svg"
sed "s/currentColor/#e6e6e6/g" drawn/check.svg > "$tmp/check-light.svg"
rsvg-convert -w $size -h $size -o "$out/check.png" "$tmp/check.svg"
rsvg-convert -w $size -h $size -o "$out/check-light.png" "$tmp/check-light.svg"
for arrow in chevron-down chevron-up; do
    sed "s/currentColor/#5a5a5a/g" "drawn/$arrow.svg" > "$tmp/$arrow.svg"
    sed "s/currentColor/#c8c8c8/g" "drawn/$arrow.svg" > "$tmp/$arrow-light.svg"
    rsvg-convert -w $size -h $size -o "$out/$arrow.png" "$tmp/$arrow.svg"
    rsvg-convert -w $size -h $size -o "$out/$arrow-light.png" "$tmp/$arrow-light.svg"
done

mkdir -p "$out/licenses"
cp node_modules/lucide-static/LICENSE "$out/licenses/lucide-static-LICENSE.txt"
cp node_modules/@material-symbols/svg-400/LICENSE "$out/licenses/material-symbols-LICENSE.txt"
echo "Rendered icons into $out"

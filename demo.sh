#!/usr/bin/env bash
# Builds Vexstat and runs a complete demonstration in a scratch folder
# (demo-run/): a week of generated TIC files, the intake, the sample
# templates rendered (the web page also shown in a headless browser when
# chromium is installed), the reports posted into a JAM, a Squish and a *.MSG
# area, the report printed and the posted messages listed.
set -euo pipefail
cd "$(dirname "$0")"
top=$(pwd)
. scripts/prerequisites.sh
VEX_SKIP_NPM=1 vex_install_prerequisites

echo "== Building"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target vexstat vexmsg >/dev/null
vexstat=$top/build/driver/vexstat
vexmsg=$top/build/msgbase/vexmsg

run=$top/demo-run
rm -rf "$run"
mkdir -p "$run/inbound" "$run/inbound2" "$run/templates" "$run/msgbase"
cd "$run"

# CP866 text from UTF-8.
cp866() { printf '%s' "$1" | iconv -f UTF-8 -t CP866; }

# One TIC file: name area desc size from origin to date
tic() {
  local file=$1 area=$2 desc=$3 size=$4 from=$5 origin=$6 to=$7 when=$8
  {
    printf 'Area %s\r\n' "$area"
    printf 'Areadesc %s\r\n' "$(cp866 "$desc")"
    printf 'Origin %s\r\n' "$origin"
    printf 'From %s\r\n' "$from"
    printf 'To Sysop, %s\r\n' "$to"
    printf 'File %s\r\n' "${file%.*}.zip"
    printf 'Desc %s\r\n' "$(cp866 "Файл из эхи $area")"
    printf 'Size %s\r\n' "$size"
    printf 'Crc 1A2B3C4D\r\n'
    printf 'Path 2:5020/1 1733000000\r\n'
    printf 'Seenby 2:5020/9999\r\n'
    printf 'Pw SECRET\r\n'
  } > "$file"
  touch -d "$when" "$file"
}

echo "== Generating a week of TIC files in $run/inbound"
areas=("NODELIST:Нодлист второй зоны" "FIDONEWS:Еженедельник FidoNews" \
       "RU.SOFT.DOS:Программы для DOS" "R50.ARC:Архивы региона 50" \
       "BBS.LISTS:Списки BBS" "LINUX.TOOLS:Утилиты для Linux")
links=("2:5020/1" "2:5020/52" "2:5030/115" "2:5020/9999")
origins=("2:2/0" "2:5020/1" "2:5030/115" "1:261/38" "2:5020/9999")
n=0
for day in 6 5 4 3 2 1 0; do
  when=$(date -d "-$day days" '+%Y-%m-%d')
  for k in 0 1 2 3; do
    i=$(( (day * 7 + k * 3) % ${#areas[@]} ))
    a=${areas[$i]%%:*}; d=${areas[$i]#*:}
    from=${links[$(( (day + k) % ${#links[@]} ))]}
    origin=${origins[$(( (day * 2 + k) % ${#origins[@]} ))]}
    size=$(( (day + 1) * 104729 + k * 65537 + i * 7919 ))
    n=$((n + 1))
    tic "inbound/$(printf 'D%02dK%d%03d.TIC' "$day" "$k" "$n")" "$a" "$d" "$size" \
        "$from" "$origin" "2:5020/9999" "$when $(printf '%02d' $((8 + k * 3))):1$k:00"
  done
done
# A second inbound directory holding a few dupes (names already counted).
cp -p inbound/D00K0025.TIC inbound2/d00k0025.tic
cp -p inbound/D01K1022.TIC inbound2/D01K1022.TIC
tic inbound2/NEWFILE1.TIC "LINUX.TOOLS" "Утилиты для Linux" 12345 "2:5020/52" "2:5020/52" "2:5020/9999" "$(date '+%Y-%m-%d') 06:00:00"
ls inbound | head -3; echo "   ... $(ls inbound | wc -l) files, and $(ls inbound2 | wc -l) in inbound2"

cp "$top"/samples/templates/*.tpl templates/
mkdir -p templates/en nodelist
cp "$top"/samples/templates/en/*.tpl templates/en/

# The node's nodelist, as it arrives in the NODELIST file echo: the names of
# the links and originating systems on the web pages come from it.
printf '%s\r\n' \
  ';A Demonstration nodelist for Friday, December 4, 2026 -- Day number 338 : 00000' \
  ';S A small part of a nodelist, made for the demonstration.' \
  'Zone,1,North_America,Everywhere,Zone_Coordinator,-Unpublished-,300,CM' \
  'Host,261,Baltimore_Net,Baltimore_MD,Net_Coordinator,-Unpublished-,300,CM' \
  ',38,Harbor_Lights_BBS,Baltimore_MD,Jim_Reed,-Unpublished-,300,CM,IBN' \
  'Zone,2,Europe,Everywhere,Zone_Coordinator,-Unpublished-,300,CM' \
  'Region,50,Russia,Moscow,Region_Coordinator,-Unpublished-,300,CM' \
  'Host,5020,Moscow_Net,Moscow,Net_Coordinator,-Unpublished-,300,CM' \
  'Hub,1,Moscow_Hub,Moscow,Ivan_Petrov,-Unpublished-,300,CM,IBN' \
  ',52,Old_Archive,Moscow,Sergey_Orlov,-Unpublished-,300,CM,IBN' \
  ',9999,Demonstration_Node,Moscow,Demo_Sysop,-Unpublished-,300,CM,IBN' \
  'Host,5030,Saint_Petersburg_Net,Saint_Petersburg,Net_Coordinator,-Unpublished-,300,CM' \
  'Pvt,115,Neva_Files,Saint_Petersburg,Anna_Volkova,-Unpublished-,300,CM,IBN' \
  > nodelist/NODELIST.338
cat > areas.cfg <<'EOF'
; Area configuration (format H)
NetmailArea NETMAIL  msgbase/netmail       -b Msg
EchoArea   FILESTAT  msgbase/filestat      -b Jam    -d "File echo statistics"
EchoArea   R50.STAT  msgbase/r50stat       -b Squish -d "Statistics of region 50"
EOF

cat > vexstat.cfg <<'EOF'
; Vexstat demonstration configuration
; Every setting stands above the TICPATH lines, which come last.
LOGFILE vexstat.log
ADDRESS 2:5020/9999
KILLTIC Yes
NODELIST nodelist/NODELIST
TPLFILENAME templates/daily.tpl daily.txt FILESTAT
TPLFILENAME templates/links.tpl links.txt R50.STAT
TPLFILENAME templates/full.tpl full.txt NETMAIL
TPLFILENAME templates/report.html.tpl filestat.html
TPLFILENAME templates/en/report.html.tpl filestat-en.html
MAKEANNOUNCE Yes
AREADEFINECFG Hareas.cfg
FROMADDR 2:5020/9999
TOADDR 2:5020/1
FROM Vexstat robot
TO All
SUBJ File echo statistics
ORIGIN Demonstration node
TEARLINE Vexstat
PATHTOECHOTOSSLOG echotoss.log
TICPATH inbound/
TICPATH inbound2/
EOF

echo
echo "== Checking the configuration first: vexstat --check -D6/0 (changes nothing)"
"$vexstat" --check -D6/0 || echo "   (the check found problems)"
echo
echo "== Running: vexstat -D6/0 (intake, reports, posting)"
"$vexstat" -D6/0
echo
echo "== The full report (full.txt, shown in UTF-8)"
iconv -f CP866 -t UTF-8 full.txt | tr -d '\r'
if command -v chromium >/dev/null 2>&1; then
  echo
  echo "== The web pages filestat.html (Russian) and filestat-en.html (English) in a"
  echo "   headless browser, on a wide screen and on a phone:"
  echo "   $run/filestat{,-en}-{1280,400}.png"
  for page in filestat filestat-en; do
    for size in 1280,1600 400,2400; do
      chromium --headless --no-sandbox --disable-gpu --hide-scrollbars \
        --disable-background-networking --no-first-run \
        --screenshot="$run/$page-${size%,*}.png" --window-size=$size \
        "file://$run/$page.html" >/dev/null 2>&1 || echo "   (chromium failed)"
    done
  done
fi
echo
echo "== Echo-toss log"
tr -d '\r' < echotoss.log
echo
echo "== Messages posted into the JAM area FILESTAT"
"$vexmsg" Jmsgbase/filestat
echo
echo "== Messages posted into the Squish area R50.STAT"
"$vexmsg" Smsgbase/r50stat
echo
echo "== Messages posted into the *.MSG netmail area"
"$vexmsg" Mmsgbase/netmail
echo
echo "== The first JAM message in full"
"$vexmsg" Jmsgbase/filestat 1 | head -40
echo
echo "== A second run, intake only, skips the dupes left in inbound2"
# Its configuration names no template, so the week's reports and the web
# page shown above stay as they are, and nothing is posted.
grep -v '^TPLFILENAME' vexstat.cfg > intake.cfg
echo "   vexstat -Cintake.cfg"
"$vexstat" -Cintake.cfg | grep -a -e 'Файл' || true
ls inbound2
echo
echo "Everything is in $run (log: $run/vexstat.log)."

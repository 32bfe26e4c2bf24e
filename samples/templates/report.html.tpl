; report.html.tpl - a web page of the file echo statistics, ready to publish.
; One self-contained file: no script, no font or picture from elsewhere, so
; it works offline.  The page declares the charset the result file is
; written in (@CHARSET: IBM866, or UTF-8 with RESULTCHARSET UTF-8), so it is
; served as it is written, Cyrillic included.
; At the top the chart of the days (@TRENDSVG) with the notes on what
; changed beside it; then the totals against the previous period, the weeks,
; the file echoes, the links and the originating systems.  On a narrow
; screen the blocks stack and every table scrolls inside its own box.
; Bars are CSS boxes as wide as the row's share (@PERC); a row under 1%
; still shows a sliver.
; Lines beginning with "#" are directives and lines beginning with "%" are
; right-aligned, so no HTML line here begins with either.  "\n" breaks the
; long row lines, so that every line of the page fits 79 columns.  #HTMLESCAPE ON
; keeps names holding & < > " from breaking the page.
#HTMLESCAPE ON
#REALDOTS 1
#PERCDOTS 1
#ORDERSTYLE EMPTY
#DOTSTYLE .
<!DOCTYPE html>
<html lang="ru">
<head>
<meta charset="@CHARSET">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Статистика файлэх @BEGINDATE - @ENDDATE</title>
<style>
 :root { --ink: #1f2937; --muted: #6b7280; --line: #e5e7eb; --card: #fff;
   --bg: #f3f4f6; --in: #2563eb; --up: #047857; --down: #b91c1c; }
 * { box-sizing: border-box; }
 body { margin: 0; background: var(--bg); color: var(--ink);
   font: 16px/1.5 system-ui, "Segoe UI", Roboto, sans-serif; }
 main { max-width: 72rem; margin: 0 auto; padding: 1rem; }
 h1 { font-size: clamp(1.4rem, 4vw, 2rem); line-height: 1.2;
   margin: .5rem 0 0; }
 h2 { font-size: 1.15rem; margin: 0 0 .75rem; }
 .sub { color: var(--muted); margin: .25rem 0 1rem; }
 .card { background: var(--card); border: 1px solid var(--line);
   border-radius: .75rem; padding: 1rem; margin-bottom: 1rem; min-width: 0; }
 .top { display: grid; gap: 1rem; grid-template-columns: 1fr;
   margin-bottom: 1rem; }
 @media (min-width: 52rem) { .top { grid-template-columns: 3fr 2fr; } }
 .top .card { margin-bottom: 0; }
 .notes ul { margin: 0; padding-left: 1.1rem; }
 .notes li { margin-bottom: .5rem; }
 .notes li::marker { color: var(--muted); }
 .notes .silent_area::marker,
 .notes .silent_link::marker { color: var(--down); }
 .notes .new_area::marker, .notes .new_origin::marker { color: var(--up); }
 .notes .spike::marker { color: #d97706; }
 .kpi { display: grid; gap: .5rem 1rem;
   grid-template-columns: repeat(auto-fit, minmax(9rem, 1fr));
   margin-top: 1rem; }
 .kpi div { border-left: 3px solid var(--in); padding-left: .6rem; }
 .kpi b { display: block; font-size: 1.35rem; }
 .kpi small { color: var(--muted); }
 .scroll { overflow-x: auto; -webkit-overflow-scrolling: touch; }
 table { border-collapse: collapse; width: 100%; font-size: .9rem; }
 th { text-align: right; color: var(--muted); font-weight: 600;
   white-space: nowrap; }
 th, td { padding: .35rem .6rem; border-bottom: 1px solid var(--line); }
 td { text-align: right; white-space: nowrap;
   font-variant-numeric: tabular-nums; }
 th:first-child, td:first-child { text-align: left; }
 td.bar { width: 30%; min-width: 6rem; text-align: left; }
 td.bar span { display: block; height: .7rem; min-width: 2px; max-width: 100%;
   background: var(--in); border-radius: 2px; }
 td[data-c^="+"], td[data-c="new"] { color: var(--up); }
 td[data-c^="-"], td[data-c="gone"] { color: var(--down); }
 footer { color: var(--muted); font-size: .8rem; text-align: center;
   padding: 1rem; }
</style>
</head>
<body>
<main>
<h1>Статистика файлэх</h1>
<p class="sub">@BEGINDATE - @ENDDATE;
прошлый период @PREVBEGINDATE - @PREVENDDATE</p>
<div class="top">
<section class="card"><h2>По дням</h2>
@TRENDSVG
<div class="kpi">
<div><b>@TOTALFILES</b>
<small>файлов, было @PREVTOTALFILES (@CHANGETOTALFILES)</small></div>
<div><b>@TOTALSIZE Кб</b>
<small>было @PREVTOTALSIZE (@CHANGETOTALSIZE)</small></div>
<div><b>@FILETOTALIN / @FILETOTALOUT</b>
<small>файлов пришло / ушло</small></div>
</div>
</section>
<section class="card notes"><h2>Что изменилось</h2>
<ul>
#NOTES
<li class="@NOTEKIND">\n@NOTE
</ul>
</section>
</div>
<section class="card"><h2>Итоги</h2><div class="scroll"><table>
<tr><th><th>Файлы<th>Было<th>Изм.<th>Кб<th>Было<th>Изм.
<tr><td>Входящие<td>@FILETOTALIN<td>@PREVFILETOTALIN
<td data-c="@CHANGEFILETOTALIN">@CHANGEFILETOTALIN
<td>@SIZETOTALIN<td>@PREVSIZETOTALIN
<td data-c="@CHANGESIZETOTALIN">@CHANGESIZETOTALIN
<tr><td>Исходящие<td>@FILETOTALOUT<td>@PREVFILETOTALOUT
<td data-c="@CHANGEFILETOTALOUT">@CHANGEFILETOTALOUT
<td>@SIZETOTALOUT<td>@PREVSIZETOTALOUT
<td data-c="@CHANGESIZETOTALOUT">@CHANGESIZETOTALOUT
</table></div></section>
<section class="card"><h2>По неделям</h2><div class="scroll"><table>
<tr><th>Неделя<th>Вход<th>Выход<th>Кб<th>%<th>
#TREND(WEEK)
<tr><td>@TRENDDATE<td>@FILEIN<td>@FILEOUT<td>@SIZETOTAL<td>@PERC\n<td class="bar"><span style="width:@PERC"></span>
</table></div></section>
<section class="card"><h2>Файлэхи по объёму</h2><div class="scroll"><table>
<tr><th>Файлэха<th>Файлы<th>Кб<th>Было<th>Изм.<th>%<th>
#AREASIZE
<tr><td>@AREA(40,L)\n<td>@FILETOTAL<td>@SIZETOTAL<td>@PREVSIZETOTAL\n<td data-c="@CHANGESIZETOTAL">@CHANGESIZETOTAL<td>@PERC\n<td class="bar"><span style="width:@PERC"></span>
</table></div></section>
<section class="card"><h2>Линки по числу файлов</h2><div class="scroll"><table>
<tr><th>Линк<th>Вход<th>Выход<th>Было<th>Изм.<th>%<th>
#LINKFILE
<tr><td>@LINK<td>@FILEIN<td>@FILEOUT<td>@PREVFILETOTAL\n<td data-c="@CHANGEFILETOTAL">@CHANGEFILETOTAL<td>@PERC\n<td class="bar"><span style="width:@PERC"></span>
</table></div></section>
<section class="card"><h2>Источники по объёму</h2><div class="scroll"><table>
<tr><th>Система<th>Файлы<th>Кб<th>Было<th>Изм.<th>%<th>
#ORIGINALLINKSIZE
<tr><td>@LINK<td>@FILETOTAL<td>@SIZETOTAL<td>@PREVSIZETOTAL\n<td data-c="@CHANGESIZETOTAL">@CHANGESIZETOTAL<td>@PERC\n<td class="bar"><span style="width:@PERC"></span>
</table></div></section>
<footer>@VER</footer>
</main>
</body>
</html>

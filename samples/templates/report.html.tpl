; report.html.tpl - a web page of the file echo statistics, ready to publish.
; One self-contained file: no script, no font or picture from elsewhere, so
; it works offline.  The page declares the charset the result file is
; written in (@CHARSET: IBM866, or UTF-8 with RESULTCHARSET UTF-8), so it is
; served as it is written, Cyrillic included.
; At the top the chart of the days (@TRENDSVG) with the notes on what
; changed beside it; then the totals against the previous period, the weeks,
; the file echoes, the links and the originating systems, the systems named
; from the nodelist (NODELIST).  Sizes are written in the largest unit and
; counts grouped (#READABLE ON); every word the program writes comes from
; the #WORD lines.  On a narrow screen the blocks stack, each table keeps
; its name, its main figure and its change, and the other columns (class
; "x") hide; a table that still scrolls shows a shadow at its edge.
; Bars are CSS boxes as wide as the row's share (@PERC); a row under 1%
; still shows a sliver.
; Lines beginning with "#" are directives and lines beginning with "%" are
; right-aligned, so no HTML line here begins with either.  "\n" breaks the
; long row lines, so that every line of the page fits 79 columns.  #HTMLESCAPE ON
#READABLE ON
#REALDOTS 1
#PERCDOTS 1
#ORDERSTYLE  
#DOTSTYLE .
#WORD NEW новая
#WORD GONE нет
#WORD PARTIAL неполная
#WORD FILES Файлы
#WORD SIZE Объём
#WORD IN вход
#WORD OUT выход
#WORD BYTES байт
#WORD KB КБ
#WORD MB МБ
#WORD GB ГБ
#WORD TB ТБ
#WORD NODAYS Нет дней
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
 .d { white-space: nowrap; }
 .card { background: var(--card); border: 1px solid var(--line);
   border-radius: .75rem; padding: 1rem; margin-bottom: 1rem; min-width: 0;
   overflow-wrap: anywhere; }
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
 .kpi div { border-left: 3px solid var(--in); padding-left: .6rem;
   min-width: 0; }
 .kpi b { display: block; font-size: 1.35rem; }
 .kpi small { color: var(--muted); }
 .scroll { overflow-x: auto; -webkit-overflow-scrolling: touch;
   background: linear-gradient(90deg, #fff 30%, #fff0),
     linear-gradient(90deg, #fff0, #fff 70%) 100% 0,
     radial-gradient(farthest-side at 0 50%, #0003, #0000),
     radial-gradient(farthest-side at 100% 50%, #0003, #0000) 100% 0;
   background-repeat: no-repeat;
   background-size: 2.5rem 100%, 2.5rem 100%, .9rem 100%, .9rem 100%;
   background-attachment: local, local, scroll, scroll; }
 table { border-collapse: collapse; width: 100%; font-size: .9rem; }
 th { text-align: right; color: var(--muted); font-weight: 600;
   white-space: nowrap; }
 th, td { padding: .35rem .6rem; border-bottom: 1px solid var(--line); }
 td { text-align: right; white-space: nowrap;
   font-variant-numeric: tabular-nums; }
 th:first-child, td:first-child { text-align: left; }
 td small { display: block; color: var(--muted); }
 td.bar { width: 25%; min-width: 4rem; text-align: left; }
 td.bar span { display: block; height: .7rem; min-width: 2px; max-width: 100%;
   background: var(--in); border-radius: 2px; }
 td[data-c^="+"], td[data-c="новая"] { color: var(--up); }
 td[data-c^="-"], td[data-c="нет"] { color: var(--down); }
 tr.p td { color: var(--muted); }
 @media (max-width: 36rem) { .x { display: none; }
   th, td { padding: .35rem .3rem; }
   td:first-child { white-space: normal; overflow-wrap: anywhere; } }
 footer { color: var(--muted); font-size: .8rem; text-align: center;
   padding: 1rem; }
</style>
</head>
<body>
<main>
<h1>Статистика файлэх</h1>
<p class="sub"><span class="d">@BEGINDATE - @ENDDATE</span>;
прошлый период <span class="d">@PREVBEGINDATE - @PREVENDDATE</span></p>
<div class="top">
<section class="card"><h2>По дням</h2>
@TRENDSVG
<div class="kpi">
<div><b>@TOTALFILES</b>
<small>файлов, было @PREVTOTALFILES (@CHANGETOTALFILES)</small></div>
<div><b>@TOTALSIZE</b>
<small>было @PREVTOTALSIZE (@CHANGETOTALSIZE)</small></div>
<div><b>@FILETOTALIN / @FILETOTALOUT</b>
<small>файлов пришло / ушло</small></div>
</div>
</section>
<section class="card notes"><h2>Что изменилось</h2>
<ul>
#NOTES(SILENT_AREA)
<li class="silent_area">Файлэха <b>@NOTESUBJECT</b> молчит @NOTEDAYS дн.,\nпоследний файл <span class="d">@NOTEDATE</span>
#NOTES(SILENT_LINK)
<li class="silent_link">Линк <b>@NOTESUBJECT</b>\n@SYSNAME молчит @NOTEDAYS дн.,\nпоследний файл <span class="d">@NOTEDATE</span>
#NOTES(NEW_AREA)
<li class="new_area">Новая файлэха <b>@NOTESUBJECT</b>,\nпервый файл <span class="d">@NOTEDATE</span>
#NOTES(NEW_ORIGIN)
<li class="new_origin">Новый источник <b>@NOTESUBJECT</b>\n@SYSNAME (первый файл <span class="d">@NOTEDATE</span>)
#NOTES(SPIKE)
<li class="spike">Файлэха <b>@NOTESUBJECT</b>: @NOTEVOLUME в день,\nв @NOTEFACTOR раза больше, чем в прошлый период
#NOTES(NONE)
<li>Без изменений
</ul>
</section>
</div>
<section class="card"><h2>Итоги</h2><div class="scroll"><table>
<tr><th><th>Файлы<th class="x">Было<th>Изм.<th class="x">Объём
<th class="x">Было
<th class="x">Изм.
<tr><td>Входящие<td>@FILETOTALIN<td class="x">@PREVFILETOTALIN
<td data-c="@CHANGEFILETOTALIN">@CHANGEFILETOTALIN
<td class="x">@SIZETOTALIN<td class="x">@PREVSIZETOTALIN
<td class="x" data-c="@CHANGESIZETOTALIN">@CHANGESIZETOTALIN
<tr><td>Исходящие<td>@FILETOTALOUT<td class="x">@PREVFILETOTALOUT
<td data-c="@CHANGEFILETOTALOUT">@CHANGEFILETOTALOUT
<td class="x">@SIZETOTALOUT<td class="x">@PREVSIZETOTALOUT
<td class="x" data-c="@CHANGESIZETOTALOUT">@CHANGESIZETOTALOUT
</table></div></section>
<section class="card"><h2>По неделям</h2><div class="scroll"><table>
<tr><th>Неделя<th class="x">Вход<th class="x">Выход<th>Объём<th>%<th class="x">
#TREND(WEEK)
<tr><td><span class="d">@TRENDDATE</span> <small>@TRENDPARTIAL</small>\n<td class="x">@FILEIN<td class="x">@FILEOUT<td>@SIZETOTAL<td>@PERC\n<td class="bar x"><span style="width:@PERC"></span>
</table></div></section>
<section class="card"><h2>Файлэхи по объёму</h2><div class="scroll"><table>
<tr><th>Файлэха<th class="x">Файлы<th>Объём<th class="x">Было<th>Изм.
<th class="x">%
<th class="x">
#AREASIZE
<tr><td>@AREA(40,L)\n<td class="x">@FILETOTAL<td>@SIZETOTAL<td class="x">@PREVSIZETOTAL\n<td data-c="@CHANGESIZETOTAL">@CHANGESIZETOTAL<td class="x">@PERC\n<td class="bar x"><span style="width:@PERC"></span>
</table></div></section>
<section class="card"><h2>Линки по числу файлов</h2><div class="scroll"><table>
<tr><th>Линк<th>Вход<th class="x">Выход<th class="x">Было<th>Изм.
<th class="x">%
<th class="x">
#LINKFILE
<tr><td>@LINK\n<small>@SYSNAME</small><td>@FILEIN<td class="x">@FILEOUT<td class="x">@PREVFILETOTAL\n<td data-c="@CHANGEFILETOTAL">@CHANGEFILETOTAL<td class="x">@PERC\n<td class="bar x"><span style="width:@PERC"></span>
</table></div></section>
<section class="card"><h2>Источники по объёму</h2><div class="scroll"><table>
<tr><th>Система<th class="x">Файлы<th>Объём<th class="x">Было<th>Изм.
<th class="x">%
<th class="x">
#ORIGINALLINKSIZE
<tr><td>@LINK\n<small>@SYSNAME</small>\n<small>@LOCATION</small><td class="x">@FILETOTAL<td>@SIZETOTAL\n<td class="x">@PREVSIZETOTAL<td data-c="@CHANGESIZETOTAL">@CHANGESIZETOTAL<td class="x">@PERC\n<td class="bar x"><span style="width:@PERC"></span>
</table></div></section>
<footer>@VER</footer>
</main>
</body>
</html>

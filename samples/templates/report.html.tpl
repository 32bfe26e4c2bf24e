; report.html.tpl - a web page of the file echo statistics, ready to publish.
; The page declares the charset the result file is written in (@CHARSET:
; IBM866, or UTF-8 with RESULTCHARSET UTF-8), so it is served as it is
; written, Cyrillic and graph characters included.
; Shows the totals with their bars, the file echoes by size, the links by
; file count and the originating systems by size, each with a bar graph.
; Lines beginning with "#" are directives and lines beginning with "%" are
; right-aligned, so no HTML line here begins with either.  #HTMLESCAPE ON
; keeps names holding & < > " from breaking the page.  Bars are drawn with
; full and half blocks, solid in a monospace cell.
#HTMLESCAPE ON
#USECHAR █▌█▌█
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
 body { font-family: sans-serif; margin: 1em; }
 table { border-collapse: collapse; margin-bottom: 2em; }
 th, td { padding: 2px 8px; border-bottom: 1px solid #ddd; }
 td { text-align: right; }
 td:first-child { text-align: left; }
 td:last-child, .g { font-family: monospace; color: #2a6; text-align: left;
   white-space: pre; line-height: 1; letter-spacing: -0.1em; }
</style>
</head>
<body>
<h1>Статистика файлэх</h1>
<p>Период: @BEGINDATE - @ENDDATE.
Всего @TOTALFILES файлов, @TOTALSIZE Кб.</p>
<table>
<tr><th><th>Файлы<th>Кб<th>Объём<th>Файлы
<tr><td>Входящие<td>@FILETOTALIN<td>@SIZETOTALIN<td class=g>@INSGRAPH(15,L)
<td>@INFGRAPH(15,L)
<tr><td>Исходящие<td>@FILETOTALOUT<td>@SIZETOTALOUT<td class=g>@OUTSGRAPH(15,L)
<td>@OUTFGRAPH(15,L)
</table>
<h2>Файлэхи по объёму</h2>
<table>
<tr><th>Файлэха<th>Файлы<th>Кб<th>%<th>График
#AREASIZE
<tr><td>@AREA(16,L)<td>@FILETOTAL<td>@SIZETOTAL<td>@PERC<td>@GRAPH(12,L)
</table>
<h2>Линки по числу файлов</h2>
<table>
<tr><th>Линк<th>Вход<th>Выход<th>%<th>График
#LINKFILE
<tr><td>@LINK<td>@FILEIN<td>@FILEOUT<td>@PERC<td>@GRAPH(12,L)
</table>
<h2>Источники по объёму</h2>
<table>
<tr><th>Система<th>Файлы<th>Кб<th>%<th>График
#ORIGINALLINKSIZE
<tr><td>@LINK<td>@FILETOTAL<td>@SIZETOTAL<td>@PERC<td>@GRAPH(12,L)
</table>
<p><small>@VER</small></p>
</body>
</html>

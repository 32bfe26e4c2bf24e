; report.html.tpl - a web page of the file echo statistics, ready to publish.
; The page declares the IBM866 charset, so the result file is served as it
; is written (CP866), Cyrillic and graph characters included.
; Shows the totals with their bars, the file echoes by size, the links by
; file count and the originating systems by size, each with a bar graph.
; Lines beginning with "#" are directives and lines beginning with "%" are
; right-aligned, so no HTML line here begins with either.
#USECHAR ▓▒░·█
#REALDOTS 1
#PERCDOTS 1
#ORDERSTYLE EMPTY
#DOTSTYLE .
<!DOCTYPE html>
<html lang="ru">
<head>
<meta charset="IBM866">
<title>Статистика файлэх @BEGINDATE - @ENDDATE</title>
<style>
 body { font-family: sans-serif; margin: 2em; }
 table { border-collapse: collapse; margin-bottom: 2em; }
 th, td { padding: 2px 8px; border-bottom: 1px solid #ddd; }
 td.n { text-align: right; }
 td.bar { font-family: monospace; color: #2a6; white-space: pre; }
</style>
</head>
<body>
<h1>Статистика файлэх</h1>
<p>Период: @BEGINDATE - @ENDDATE. Всего @TOTALFILES файлов, @TOTALSIZE Кб.</p>
<table>
<tr><th></th><th>Файлы</th><th>Кб</th><th>Объём</th><th>Файлы</th></tr>
<tr><td>Входящие</td><td class="n">@FILETOTALIN</td><td class="n">@SIZETOTALIN</td><td class="bar">@INSGRAPH(30,L)</td><td class="bar">@INFGRAPH(30,L)</td></tr>
<tr><td>Исходящие</td><td class="n">@FILETOTALOUT</td><td class="n">@SIZETOTALOUT</td><td class="bar">@OUTSGRAPH(30,L)</td><td class="bar">@OUTFGRAPH(30,L)</td></tr>
</table>
<h2>Файлэхи по объёму</h2>
<table>
<tr><th>N</th><th>Файлэха</th><th>Файлы</th><th>Кб</th><th>%</th><th>График</th></tr>
#AREASIZE
<tr><td class="n">@NUMB</td><td>@AREA(41,L)</td><td class="n">@FILETOTAL</td><td class="n">@SIZETOTAL</td><td class="n">@PERC</td><td class="bar">@GRAPH(40,L)</td></tr>
</table>
<h2>Линки по числу файлов</h2>
<table>
<tr><th>N</th><th>Линк</th><th>Вход</th><th>Выход</th><th>%</th><th>График</th></tr>
#LINKFILE
<tr><td class="n">@NUMB</td><td>@LINK</td><td class="n">@FILEIN</td><td class="n">@FILEOUT</td><td class="n">@PERC</td><td class="bar">@GRAPH(40,L)</td></tr>
</table>
<h2>Источники по объёму</h2>
<table>
<tr><th>N</th><th>Система</th><th>Файлы</th><th>Кб</th><th>%</th><th>Объём и файлы</th></tr>
#ORIGINALLINKSIZE
<tr><td class="n">@NUMB</td><td>@LINK</td><td class="n">@FILETOTAL</td><td class="n">@SIZETOTAL</td><td class="n">@PERC</td><td class="bar">@DBLGRAPHS(40,L)</td></tr>
</table>
<p><small>@VER</small></p>
</body>
</html>

; daily.tpl - the daily report by file echo.
; Shows the period, the totals, and one line per file echo ordered by
; size: number, echo name, files and size, share of the traffic and a bar.
; Run it with -D1/0 (yesterday and today) for a daily report.
#DOTSTYLE .
#ORDERSTYLE '
#REALDOTS 2
#PERCDOTS 1
#KBSIZE 1024
#Статистика файлэх: с @BEGINDATE по @ENDDATE

 Всего: @TOTALFILES файлов, @TOTALSIZE Кб
 ──── ───────────────────────── ───── ───────────── ────── ────────────────────
  N   Файлэха                   Файлы            Кб      % График
 ──── ───────────────────────── ───── ───────────── ────── ────────────────────
#AREASIZE
 @NUMB(4) @AREA(25,L) @FILETOTAL(5) @SIZETOTAL(13) @PERC(6) @GRAPH(20,L)
 ──── ───────────────────────── ───── ───────────── ────── ────────────────────
%@ID

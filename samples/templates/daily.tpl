; daily.tpl - the daily report by file echo.
; Shows the period, the totals, and one line per file echo ordered by
; size: number, echo name, files and size, share of the traffic and a bar;
; then the notes on what changed against the previous period of as many
; days (file echoes and links gone silent, new file echoes and originating
; systems, file echoes whose volume jumped).
; Run it with -D1/0 (yesterday and today) for a daily report.
#DOTSTYLE .
#ORDERSTYLE '
#REALDOTS 2
#PERCDOTS 1
#KBSIZE 1024
#Статистика файлэх: с @BEGINDATE по @ENDDATE

 Всего: @TOTALFILES файлов, @TOTALSIZE Кб
 Было:  @PREVTOTALFILES файлов, @PREVTOTALSIZE Кб (@CHANGETOTALFILES, @CHANGETOTALSIZE)
 ──── ───────────────────────── ───── ───────────── ────── ────────────────────
  N   Файлэха                   Файлы            Кб      % График
 ──── ───────────────────────── ───── ───────────── ────── ────────────────────
#AREASIZE
 @NUMB(4) @AREA(25,L) @FILETOTAL(5) @SIZETOTAL(13) @PERC(6) @GRAPH(20,L)
 ──── ───────────────────────── ───── ───────────── ────── ────────────────────
 Что изменилось:
#NOTES
 * @NOTE

%@ID

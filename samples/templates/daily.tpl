; daily.tpl - the daily report by file echo.
; Shows the period, the totals, and one line per file echo ordered by
; size: number, echo name, files and size, share of the traffic and a bar.
; Run it with -D1/0 (yesterday and today) for a daily report.
#DOTSTYLE .
#ORDERSTYLE '
#REALDOTS 2
#PERCDOTS 1
#KBSIZE 1024
#‘в вЁбвЁЄ  д ©«не: б @BEGINDATE Ї® @ENDDATE

 ‚бҐЈ®: @TOTALFILES д ©«®ў, @TOTALSIZE ЉЎ
 ДДДД ДДДДДДДДДДДДДДДДДДДДДДДДД ДДДДД ДДДДДДДДДДДДД ДДДДДД ДДДДДДДДДДДДДДДДДДДД
  N   ” ©«не                    ” ©«л            ЉЎ      % ѓа дЁЄ
 ДДДД ДДДДДДДДДДДДДДДДДДДДДДДДД ДДДДД ДДДДДДДДДДДДД ДДДДДД ДДДДДДДДДДДДДДДДДДДД
#AREASIZE
 @NUMB(4) @AREA(25,L) @FILETOTAL(5) @SIZETOTAL(13) @PERC(6) @GRAPH(20,L)
 ДДДД ДДДДДДДДДДДДДДДДДДДДДДДДД ДДДДД ДДДДДДДДДДДДД ДДДДДД ДДДДДДДДДДДДДДДДДДДД
%@ID

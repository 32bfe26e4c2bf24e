; en/daily.tpl - the daily report by file echo, in English.
; Shows the period, the totals, and one line per file echo ordered by
; size: number, echo name, files and size, share of the traffic and a bar;
; then the notes on what changed against the previous period of as many
; days (file echoes and links gone silent, new file echoes and originating
; systems, file echoes whose volume jumped), each kind in its own words.
; Run it with -D1/0 (yesterday and today) for a daily report.
#DOTSTYLE .
#ORDERSTYLE '
#REALDOTS 2
#PERCDOTS 1
#KBSIZE 1024
#File echo statistics: @BEGINDATE - @ENDDATE

 Total:  @TOTALFILES files, @TOTALSIZE KB
 Before: @PREVTOTALFILES files, @PREVTOTALSIZE KB (@CHANGETOTALFILES, @CHANGETOTALSIZE)
 ──── ───────────────────────── ───── ───────────── ────── ────────────────────
  N   File echo                 Files            KB      % Graph
 ──── ───────────────────────── ───── ───────────── ────── ────────────────────
#AREASIZE
 @NUMB(4) @AREA(25,L) @FILETOTAL(5) @SIZETOTAL(13) @PERC(6) @GRAPH(20,L)
 ──── ───────────────────────── ───── ───────────── ────── ────────────────────
 What changed:
#NOTES(SILENT_AREA)
 * file echo @NOTESUBJECT silent for @NOTEDAYS days, last file on @NOTEDATE
#NOTES(SILENT_LINK)
 * link @NOTESUBJECT silent for @NOTEDAYS days, last file on @NOTEDATE
#NOTES(NEW_AREA)
 * new file echo @NOTESUBJECT, first file on @NOTEDATE
#NOTES(NEW_ORIGIN)
 * new originating system @NOTESUBJECT, first file on @NOTEDATE
#NOTES(SPIKE)
 * file echo @NOTESUBJECT: @NOTEVOLUME a day, @NOTEFACTOR times the period before
#NOTES(NONE)
 * no changes

%@ID

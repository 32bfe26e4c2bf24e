; daily.tpl - the daily report by file echo.
; Shows the period, the totals, and one line per file echo ordered by
; size: number, echo name, files and size, share of the traffic and a bar;
; then the notes on what changed against the previous period of as many
; days (file echoes and links gone silent, new file echoes and originating
; systems, file echoes whose volume jumped), each kind in its own words.
; Run it with -D1/0 (yesterday and today) for a daily report.
; The words the program writes itself, in the report's language.
#WORD NEW новая
#WORD GONE нет
#WORD KB Кб
#WORD MB Мб
#WORD GB Гб
#WORD TB Тб
#WORD BYTES байт
#WORD NODAYS Нет дней
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
#NOTES(SILENT_AREA)
 * файлэха @NOTESUBJECT молчит @NOTEDAYS дн., последний файл @NOTEDATE
#NOTES(SILENT_LINK)
 * линк @NOTESUBJECT молчит @NOTEDAYS дн., последний файл @NOTEDATE
#NOTES(NEW_AREA)
 * новая файлэха @NOTESUBJECT, первый файл @NOTEDATE
#NOTES(NEW_ORIGIN)
 * новый источник @NOTESUBJECT, первый файл @NOTEDATE
#NOTES(SPIKE)
 * файлэха @NOTESUBJECT: @NOTEVOLUME в день, в @NOTEFACTOR раза больше прежнего
#NOTES(NONE)
 * без изменений

%@ID

; full.tpl - the full report with every kind of graph.
; Shows the in/out totals with their bars and combined bars, the file
; echoes by size with double graphs, the file echoes by file count with
; file bars, and the links by file count.  Every bar is measured against a
; row at least as large, so no bar grows past its width.
; Graph characters: ■ size bar, ∙ its half cell, * file bar, · its half
; cell, █ where the two bars overlap.
#USECHAR ■∙*·█
#REALDOTS 2
#PERCDOTS 2
#ORDERSTYLE '
#═══════════════════════════════════════════════════════════════
#Полный отчёт: @BEGINDATE - @ENDDATE
#═══════════════════════════════════════════════════════════════

 Всего файлов: @TOTALFILES(8)   объём: @TOTALSIZE(14) Кб
 Входящие:     @FILETOTALIN(8)   объём: @SIZETOTALIN(14) Кб
 Исходящие:    @FILETOTALOUT(8)   объём: @SIZETOTALOUT(14) Кб

 Вход  объём @REVINSGRAPH(30,R)|@INSGRAPH(30,L)
 Выход объём @REVOUTSGRAPH(30,R)|@OUTSGRAPH(30,L)
 Вход  файлы @REVINFGRAPH(30,R)|@INFGRAPH(30,L)
 Выход файлы @REVOUTFGRAPH(30,R)|@OUTFGRAPH(30,L)
 Вход  общий @REVEXTINGRAPHS(30,R)|@EXTINGRAPHS(30,L)
 Выход общий @REVEXTOUTGRAPHS(30,R)|@EXTOUTGRAPHS(30,L)

#Файлэхи по объёму
  N Файлэха                    Файлы            Кб       %  Объём и файлы
#AREASIZE
@NUMB(3) @AREA(26,L) @FILETOTAL(5) @SIZETOTAL(13) @PERC(7)  @DBLGRAPHS(19,L)

#Файлэхи по числу файлов
  N Файлэха                    Файлы            Кб       %  Файлы
#AREAFILE
@NUMB(3) @AREA(26,L) @FILETOTAL(5) @SIZETOTAL(13) @PERC(7)  @GRAPH(19,L)

#Линки по числу файлов
  N Линк                       Файлы            Кб       %  График
#LINKFILE
@NUMB(3) @LINK(26,L) @FILETOTAL(5) @SIZETOTAL(13) @PERC(7)  @GRAPH(19,L)

%@VER

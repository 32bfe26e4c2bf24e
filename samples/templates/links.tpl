; links.tpl - the links report.
; Shows, for the period, the systems the files came from (in and out by
; the node's own ADDRESS), the systems that first sent them, and the
; addressees, each ordered by size, with percentages and bars.
#REALDOTS 1
#PERCDOTS 1
#Линки: с @BEGINDATE по @ENDDATE

 Получено @FILETOTALIN файлов (@SIZETOTALIN Кб),
 отправлено @FILETOTALOUT файлов (@SIZETOTALOUT Кб)

 Линк                 Вход Вых.       Вход Кб      Выход Кб      %
 ------------------- ----- ---- ------------- ------------- ------
#LINKSIZE
 @LINK(19,L) @FILEIN(5) @FILEOUT(4) @SIZEIN(13) @SIZEOUT(13) @PERC(6)

 Источник            Файлы            Кб      % График
 ------------------- ----- ------------- ------ ---------------
#ORIGINALLINKSIZE
 @LINK(19,L) @FILETOTAL(5) @SIZETOTAL(13) @PERC(6) @GRAPH(15,L)

 Адресат             Файлы            Кб      % График
 ------------------- ----- ------------- ------ ---------------
#EXPLINKSIZE
 @EXPLINK(19,L) @EXPFILE(5) @EXPSIZE(13) @PERC(6) @GRAPH(15,L)

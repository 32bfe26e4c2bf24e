; en/links.tpl - the links report, in English.
; Shows, for the period, the systems the files came from (in and out by
; the node's own ADDRESS), the systems that first sent them, and the
; addressees, each ordered by size, with percentages and bars.
#REALDOTS 1
#PERCDOTS 1
#Links from @BEGINDATE to @ENDDATE

 Received @FILETOTALIN files (@SIZETOTALIN Kb),
 sent @FILETOTALOUT files (@SIZETOTALOUT Kb)

 From link              In  Out         In Kb        Out Kb      %
 ------------------- ----- ---- ------------- ------------- ------
#LINKSIZE
 @LINK(19,L) @FILEIN(5) @FILEOUT(4) @SIZEIN(13) @SIZEOUT(13) @PERC(6)

 Originating system  Files            Kb      % Graph
 ------------------- ----- ------------- ------ ---------------
#ORIGINALLINKSIZE
 @LINK(19,L) @FILETOTAL(5) @SIZETOTAL(13) @PERC(6) @GRAPH(15,L)

 Addressee           Files            Kb      % Graph
 ------------------- ----- ------------- ------ ---------------
#EXPLINKSIZE
 @EXPLINK(19,L) @EXPFILE(5) @EXPSIZE(13) @PERC(6) @GRAPH(15,L)

; en/full.tpl - the full report with every kind of graph, in English.
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
#Full report: @BEGINDATE to @ENDDATE
#═══════════════════════════════════════════════════════════════

 Total files:  @TOTALFILES(8)   size:  @TOTALSIZE(14) KB
 Incoming:     @FILETOTALIN(8)   size:  @SIZETOTALIN(14) KB
 Outgoing:     @FILETOTALOUT(8)   size:  @SIZETOTALOUT(14) KB

 In   size   @REVINSGRAPH(30,R)|@INSGRAPH(30,L)
 Out  size   @REVOUTSGRAPH(30,R)|@OUTSGRAPH(30,L)
 In   files  @REVINFGRAPH(30,R)|@INFGRAPH(30,L)
 Out  files  @REVOUTFGRAPH(30,R)|@OUTFGRAPH(30,L)
 In   both   @REVEXTINGRAPHS(30,R)|@EXTINGRAPHS(30,L)
 Out  both   @REVEXTOUTGRAPHS(30,R)|@EXTOUTGRAPHS(30,L)

#File echoes by size
  N File echo                  Files            KB       %  Size and files
#AREASIZE
@NUMB(3) @AREA(26,L) @FILETOTAL(5) @SIZETOTAL(13) @PERC(7)  @DBLGRAPHS(19,L)

#File echoes by file count
  N File echo                  Files            KB       %  Files
#AREAFILE
@NUMB(3) @AREA(26,L) @FILETOTAL(5) @SIZETOTAL(13) @PERC(7)  @GRAPH(19,L)

#Links by file count
  N Link                       Files            KB       %  Graph
#LINKFILE
@NUMB(3) @LINK(26,L) @FILETOTAL(5) @SIZETOTAL(13) @PERC(7)  @GRAPH(19,L)

%@VER

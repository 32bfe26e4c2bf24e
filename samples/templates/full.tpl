; full.tpl - the full report with every kind of graph.
; Shows the in/out totals with their bars and combined bars, the file
; echoes by size with double graphs, the file echoes by file count with
; extended graphs, and the links by file count.
; Graph characters: þ size bar, ๙ its half cell, * file bar, ๚ its half
; cell, Û where the two bars overlap.
#USECHAR þ๙*๚Û
#REALDOTS 2
#PERCDOTS 2
#ORDERSTYLE '
#อออออออออออออออออออออออออออออออออออออออออออออออออออออออออออออออ
#ฎซญ๋ฉ ฎโ็๑โ: @BEGINDATE - @ENDDATE
#อออออออออออออออออออออออออออออออออออออออออออออออออออออออออออออออ

 แฅฃฎ ไ ฉซฎข: @TOTALFILES(8)   ฎก๊๑ฌ: @TOTALSIZE(14) ก
 ๅฎค๏้จฅ:     @FILETOTALIN(8)   ฎก๊๑ฌ: @SIZETOTALIN(14) ก
 แๅฎค๏้จฅ:    @FILETOTALOUT(8)   ฎก๊๑ฌ: @SIZETOTALOUT(14) ก

 ๅฎค  ฎก๊๑ฌ @REVINSGRAPH(30,R)|@INSGRAPH(30,L)
 ๋ๅฎค ฎก๊๑ฌ @REVOUTSGRAPH(30,R)|@OUTSGRAPH(30,L)
 ๅฎค  ไ ฉซ๋ @REVINFGRAPH(30,R)|@INFGRAPH(30,L)
 ๋ๅฎค ไ ฉซ๋ @REVOUTFGRAPH(30,R)|@OUTFGRAPH(30,L)
 ๅฎค  ฎก้จฉ @REVEXTINGRAPHS(30,R)|@EXTINGRAPHS(30,L)
 ๋ๅฎค ฎก้จฉ @REVEXTOUTGRAPHS(30,R)|@EXTOUTGRAPHS(30,L)

#” ฉซํๅจ ฏฎ ฎก๊๑ฌใ
  N ” ฉซํๅ                     ” ฉซ๋            ก       %  ก๊๑ฌ จ ไ ฉซ๋
#AREASIZE
@NUMB(3) @AREA(26,L) @FILETOTAL(5) @SIZETOTAL(13) @PERC(7)  @DBLGRAPHS(19,L)

#” ฉซํๅจ ฏฎ ็จแซใ ไ ฉซฎข
  N ” ฉซํๅ                     ” ฉซ๋            ก       %  ” ฉซ๋ จ ฎก๊๑ฌ
#AREAFILE
@NUMB(3) @AREA(26,L) @FILETOTAL(5) @SIZETOTAL(13) @PERC(7)  @EXTGRAPHS(19,L)

#จญชจ ฏฎ ็จแซใ ไ ฉซฎข
  N จญช                       ” ฉซ๋            ก       %  เ ไจช
#LINKFILE
@NUMB(3) @LINK(26,L) @FILETOTAL(5) @SIZETOTAL(13) @PERC(7)  @GRAPH(19,L)

%@VER

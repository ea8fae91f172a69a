# Writes the sources of a large help book: 2,000 topics, a contents file with
# one entry per topic in chapters of 50, an index of 5,000 key words, and
# context number N mapped to topic N.
#   cmake -DOUT_DIR=... -P generate_book.cmake
set(topics 2000)
set(keywords 5000)
file(REMOVE_RECURSE ${OUT_DIR})
file(MAKE_DIRECTORY ${OUT_DIR})

set(files "")
set(alias "")
set(map "")
set(toc "<HTML><BODY>\n<UL>\n")
foreach(i RANGE 1 ${topics})
  string(LENGTH "${i}" len)
  math(EXPR pad "4 - ${len}")
  string(REPEAT "0" ${pad} zeros)
  set(name "topic${zeros}${i}.htm")
  file(WRITE ${OUT_DIR}/${name}
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
    "<title>Topic ${i}</title><link rel=\"stylesheet\" href=\"big.css\"></head><body>\n"
    "<h1>Topic ${i}</h1>\n"
    "<p>This is topic number ${i} of the large book. It has a few paragraphs of text, like a real topic, "
    "so that laying it out takes as long as laying out a real one.</p>\n"
    "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor incididunt ut labore "
    "et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud exercitation ullamco laboris nisi ut "
    "aliquip ex ea commodo consequat.</p>\n"
    "<ul><li>First point of topic ${i}</li><li>Second point</li><li>Third point</li></ul>\n"
    "<p>See also <a href=\"topic0001.htm\">the first topic</a>.</p>\n</body></html>\n")
  string(APPEND files "${name}\n")
  string(APPEND alias "IDH_${i}=${name}\n")
  string(APPEND map "#define IDH_${i} ${i}\n")
  math(EXPR chapter_pos "(${i} - 1) % 50")
  if(chapter_pos EQUAL 0)
    if(i GREATER 1)
      string(APPEND toc "</UL>\n")
    endif()
    math(EXPR chapter "(${i} - 1) / 50 + 1")
    string(APPEND toc "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Chapter ${chapter}\"></OBJECT>\n<UL>\n")
  endif()
  string(APPEND toc "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Topic ${i}\">"
                    "<param name=\"Local\" value=\"${name}\"></OBJECT>\n")
endforeach()
string(APPEND toc "</UL>\n</UL>\n</BODY></HTML>\n")
file(WRITE ${OUT_DIR}/big.hhc "${toc}")

set(index "<HTML><BODY>\n<UL>\n")
foreach(k RANGE 1 ${keywords})
  math(EXPR t "(${k} - 1) % ${topics} + 1")
  string(LENGTH "${t}" len)
  math(EXPR pad "4 - ${len}")
  string(REPEAT "0" ${pad} zeros)
  string(LENGTH "${k}" klen)
  math(EXPR kpad "4 - ${klen}")
  string(REPEAT "0" ${kpad} kzeros)
  string(APPEND index "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"keyword ${kzeros}${k}\">"
                      "<param name=\"Local\" value=\"topic${zeros}${t}.htm\"></OBJECT>\n")
endforeach()
string(APPEND index "</UL>\n</BODY></HTML>\n")
file(WRITE ${OUT_DIR}/big.hhk "${index}")
file(WRITE ${OUT_DIR}/big.css "body { font-family: Arial, sans-serif; font-size: 10pt; }\n")

file(WRITE ${OUT_DIR}/big.hhp
  "[OPTIONS]\nCompiled file=big.chm\nContents file=big.hhc\nIndex file=big.hhk\nDefault topic=topic0001.htm\n"
  "Full-text search=No\nBinary Index=No\nBinary TOC=No\nLanguage=0x409 English (United States)\nTitle=Large book\n\n"
  "[FILES]\n${files}big.css\n\n[ALIAS]\n${alias}\n[MAP]\n${map}")

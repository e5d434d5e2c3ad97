# cmake -DCMARK=... -DIN=guide.md -DTEMPLATE=guide.html.in -DOUT=guide.html -P guide_html.cmake
# The guide as a page any browser opens: the Markdown rendered by cmark
# (raw HTML in the text left out), inside a page with its own small
# stylesheet, nothing fetched from elsewhere.
execute_process(COMMAND ${CMARK} --to html --extension table ${IN} OUTPUT_VARIABLE VELDER_GUIDE_BODY
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmark could not render ${IN}")
endif()
configure_file(${TEMPLATE} ${OUT} @ONLY)

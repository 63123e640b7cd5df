# The page's script, built from its ES modules: the lists and code tables are written from the C++ tables by
# a small program at build time (as the bash completion is), smol-toml comes from the npm registry pinned by
# version and checksum (package-lock.json), and esbuild bundles the modules into the script the board serves
# and into mdconfig-page.html, the page on its own that reaches the display through Web Serial.
find_program(MD_NODE NAMES node nodejs REQUIRED)
find_program(MD_NPM NAMES npm REQUIRED)
find_program(MD_ESBUILD NAMES esbuild REQUIRED)

set(MD_PAGE_SOURCE ${CMAKE_SOURCE_DIR}/src/web/page)
set(MD_PAGE_DIR ${CMAKE_BINARY_DIR}/page)
# The modules are built in a copy beside the generated tables and the installed package, so that esbuild and
# Node's test runner find both as any ES module finds its neighbours.
set(MD_PAGE_MODULES lists encoder plan pacing jobs serialline serverline rows progress bus page)
set(MD_PAGE_ENTRIES served standalone)

add_library(md_weblists STATIC src/web/lists.cpp)
target_link_libraries(md_weblists PUBLIC md_plan md_bus Qt6::Core)

add_executable(mdconfig-page-tables src/web/page/generate.cpp)
target_link_libraries(mdconfig-page-tables PRIVATE md_weblists)
set_target_properties(mdconfig-page-tables PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MD_PAGE_DIR})

add_custom_command(
    OUTPUT ${MD_PAGE_DIR}/node_modules/.package-lock.json
    COMMAND ${CMAKE_COMMAND} -E make_directory ${MD_PAGE_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${MD_PAGE_SOURCE}/package.json ${MD_PAGE_SOURCE}/package-lock.json
            ${MD_PAGE_DIR}
    # ci installs exactly the locked version and refuses a package whose checksum differs from the lock's.
    COMMAND ${MD_NPM} ci --ignore-scripts --no-audit --no-fund --loglevel=error
    WORKING_DIRECTORY ${MD_PAGE_DIR}
    DEPENDS ${MD_PAGE_SOURCE}/package.json ${MD_PAGE_SOURCE}/package-lock.json
    COMMENT "Installing the page's TOML reader (smol-toml) as package-lock.json pins it"
    VERBATIM)

list(TRANSFORM MD_PAGE_MODULES PREPEND lib/ OUTPUT_VARIABLE md_page_files)
list(APPEND md_page_files ${MD_PAGE_ENTRIES})
set(md_page_copies)
foreach(file ${md_page_files})
    list(APPEND md_page_copies ${MD_PAGE_DIR}/src/${file}.js)
    add_custom_command(OUTPUT ${MD_PAGE_DIR}/src/${file}.js
        COMMAND ${CMAKE_COMMAND} -E copy ${MD_PAGE_SOURCE}/${file}.js ${MD_PAGE_DIR}/src/${file}.js
        DEPENDS ${MD_PAGE_SOURCE}/${file}.js VERBATIM)
endforeach()

add_custom_command(
    OUTPUT ${MD_PAGE_DIR}/src/lib/tables.js
    COMMAND ${CMAKE_COMMAND} -E make_directory ${MD_PAGE_DIR}/src/lib
    COMMAND mdconfig-page-tables ${MD_PAGE_DIR}/src/lib/tables.js
    DEPENDS mdconfig-page-tables
    COMMENT "Writing the page's tables from the program's lists"
    VERBATIM)

set(md_page_inputs ${md_page_copies} ${MD_PAGE_DIR}/src/lib/tables.js ${MD_PAGE_DIR}/node_modules/.package-lock.json)
# Each entry bundled into one script with everything it imports: no inline script in the served page, as
# the board's content security policy wants, and the page on its own inlined below.
function(md_page_bundle entry output comment)
    add_custom_command(
        OUTPUT ${MD_PAGE_DIR}/${output}
        COMMAND ${MD_ESBUILD} ${MD_PAGE_DIR}/src/${entry}.js --bundle --format=iife --target=es2020 --charset=utf8
                --legal-comments=eof --log-level=warning --outfile=${MD_PAGE_DIR}/${output}
        DEPENDS ${md_page_inputs}
        COMMENT "${comment}"
        VERBATIM)
endfunction()
md_page_bundle(served app.js "Bundling the served page's script")
md_page_bundle(standalone standalone.js "Bundling the page on its own")
# Everything inlined, with a content security policy of hashes in a meta tag: the file loads nothing.
add_custom_command(
    OUTPUT ${MD_PAGE_DIR}/mdconfig-page.html
    COMMAND ${MD_NODE} ${MD_PAGE_SOURCE}/standalone-html.mjs ${MD_PAGE_SOURCE}/index.html ${MD_PAGE_SOURCE}/app.css
            ${MD_PAGE_DIR}/standalone.js ${MD_PAGE_DIR}/mdconfig-page.html
    DEPENDS ${MD_PAGE_SOURCE}/standalone-html.mjs ${MD_PAGE_SOURCE}/index.html ${MD_PAGE_SOURCE}/app.css
            ${MD_PAGE_DIR}/standalone.js
    COMMENT "Writing mdconfig-page.html"
    VERBATIM)
add_custom_target(mdconfig-page ALL DEPENDS ${MD_PAGE_DIR}/app.js ${MD_PAGE_DIR}/mdconfig-page.html)

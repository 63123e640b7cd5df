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

set(md_page_copies)
foreach(module ${MD_PAGE_MODULES})
    list(APPEND md_page_copies ${MD_PAGE_DIR}/src/lib/${module}.js)
    add_custom_command(OUTPUT ${MD_PAGE_DIR}/src/lib/${module}.js
        COMMAND ${CMAKE_COMMAND} -E copy ${MD_PAGE_SOURCE}/lib/${module}.js ${MD_PAGE_DIR}/src/lib/${module}.js
        DEPENDS ${MD_PAGE_SOURCE}/lib/${module}.js VERBATIM)
endforeach()
foreach(entry ${MD_PAGE_ENTRIES})
    list(APPEND md_page_copies ${MD_PAGE_DIR}/src/${entry}.js)
    add_custom_command(OUTPUT ${MD_PAGE_DIR}/src/${entry}.js
        COMMAND ${CMAKE_COMMAND} -E copy ${MD_PAGE_SOURCE}/${entry}.js ${MD_PAGE_DIR}/src/${entry}.js
        DEPENDS ${MD_PAGE_SOURCE}/${entry}.js VERBATIM)
endforeach()

add_custom_command(
    OUTPUT ${MD_PAGE_DIR}/src/lib/tables.js
    COMMAND ${CMAKE_COMMAND} -E make_directory ${MD_PAGE_DIR}/src/lib
    COMMAND mdconfig-page-tables ${MD_PAGE_DIR}/src/lib/tables.js
    DEPENDS mdconfig-page-tables
    COMMENT "Writing the page's tables from the program's lists"
    VERBATIM)

set(md_page_inputs ${md_page_copies} ${MD_PAGE_DIR}/src/lib/tables.js ${MD_PAGE_DIR}/node_modules/.package-lock.json)
# The served script: one file, no inline script, as the board's content security policy wants.
add_custom_command(
    OUTPUT ${MD_PAGE_DIR}/app.js
    COMMAND ${MD_ESBUILD} ${MD_PAGE_DIR}/src/served.js --bundle --format=iife --target=es2020 --charset=utf8
            --legal-comments=eof --log-level=warning --outfile=${MD_PAGE_DIR}/app.js
    DEPENDS ${md_page_inputs}
    COMMENT "Bundling the served page's script"
    VERBATIM)
add_custom_command(
    OUTPUT ${MD_PAGE_DIR}/standalone.js
    COMMAND ${MD_ESBUILD} ${MD_PAGE_DIR}/src/standalone.js --bundle --format=iife --target=es2020 --charset=utf8
            --legal-comments=eof --log-level=warning --outfile=${MD_PAGE_DIR}/standalone.js
    DEPENDS ${md_page_inputs}
    COMMENT "Bundling the page on its own"
    VERBATIM)
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

# Writes the service worker for the built site: the list of its files and a
# version from their digest, so that any change to the site makes a new one.
# cmake -DSITE=dir -DTEMPLATE=service_worker.js.in -DOUTPUT=file -P service_worker.cmake
file(GLOB files LIST_DIRECTORIES false RELATIVE ${SITE} ${SITE}/*)
list(REMOVE_ITEM files service_worker.js test_hook.js)
list(SORT files)
set(digests "")
set(WEB_CACHE_FILES "\"./\"")
foreach(file ${files})
    file(SHA256 ${SITE}/${file} digest)
    string(APPEND digests "${file} ${digest}\n")
    string(APPEND WEB_CACHE_FILES ", \"${file}\"")
endforeach()
string(SHA256 WEB_CACHE_VERSION "${digests}")
string(SUBSTRING ${WEB_CACHE_VERSION} 0 16 WEB_CACHE_VERSION)
configure_file(${TEMPLATE} ${OUTPUT}.part @ONLY)
file(RENAME ${OUTPUT}.part ${OUTPUT})

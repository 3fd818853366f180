# Turns the manifests of the picture sets ("slot language file" per line; language en, de or
# both) and the PNG files they list into a C++ source with the bytes of each picture. The set
# for 100 % lies in FOLDER, each other in FOLDER/<percent>.
# Variables: FOLDER, PERCENTS (comma-separated), OUTPUT.
string(REPLACE "," ";" PERCENTS "${PERCENTS}")
set(arrays "")
set(entries "")
set(index 0)
foreach(percent IN LISTS PERCENTS)
if(percent EQUAL 100)
    set(folder "${FOLDER}")
else()
    set(folder "${FOLDER}/${percent}")
endif()
set(MANIFEST "${folder}/manifest.txt")
file(STRINGS "${MANIFEST}" lines)
foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^#")
        continue()
    endif()
    string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
    list(LENGTH fields count)
    if(NOT count EQUAL 3)
        message(FATAL_ERROR "${MANIFEST}: cannot read line '${line}'")
    endif()
    list(GET fields 0 slot)
    list(GET fields 1 language)
    list(GET fields 2 file)
    if(language STREQUAL "en")
        set(row 0)
    elseif(language STREQUAL "de")
        set(row 1)
    elseif(language STREQUAL "both")
        set(row -1)
    else()
        message(FATAL_ERROR "${MANIFEST}: unknown language '${language}'")
    endif()
    file(READ "${folder}/${file}" hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
    string(APPEND arrays "// ${percent}/${file}\nconst std::uint8_t kPicture${index}[] = {\n${bytes}};\n")
    string(APPEND entries "    {${slot}, ${row}, ${percent}, kPicture${index}, sizeof kPicture${index}},\n")
    math(EXPR index "${index} + 1")
endforeach()
endforeach()

file(WRITE "${OUTPUT}.tmp" "// Made from resources/pictures by cmake/EmbedPictures.cmake. Do not edit.
#include \"app/pictures.h\"

namespace melvane {
namespace {
${arrays}
const EmbeddedPicture kEmbedded[] = {
${entries}};
}  // namespace

std::span<const EmbeddedPicture> EmbeddedPictures() { return kEmbedded; }

}  // namespace melvane
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")

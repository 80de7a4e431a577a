# Writes a C++ source that holds the given text files, looked up by file name.
# Run as a script: cmake -DOUTPUT=... -DFILES="a;b" -P EmbedFiles.cmake
set(content "// Generated from the files under db/; do not edit.\n#include <map>\n#include <string>\n#include <string_view>\n\nnamespace db {\nconst std::map<std::string, std::string_view>& embeddedFiles() {\n    static const std::map<std::string, std::string_view> files = {\n")
string(REPLACE "|" ";" FILES "${FILES}")
foreach(f IN LISTS FILES)
  file(READ "${f}" text)
  get_filename_component(name "${f}" NAME)
  string(APPEND content "        {\"${name}\", R\"__EMBED__(${text})__EMBED__\"},\n")
endforeach()
string(APPEND content "    };\n    return files;\n}\n} // namespace db\n")
file(WRITE "${OUTPUT}.tmp" "${content}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)

# tessary_default_settings_header(TABLE OUTPUT): writes a C++ header holding the rows of
# the default settings table (resources/default_settings.tsv) as constants, remade whenever
# the table changes.
function(tessary_default_settings_header table output)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${table})
  file(STRINGS ${table} lines ENCODING UTF-8)
  set(rows "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^#" OR line STREQUAL "")
      continue()
    endif()
    string(REPLACE "\\" "\\\\" line "${line}")
    string(REPLACE "\"" "\\\"" line "${line}")
    string(REPLACE "\t" "\", \"" fields "${line}")
    string(REGEX MATCHALL "\t" tabs "${line}")
    list(LENGTH tabs count)
    if(NOT count EQUAL 3)
      message(FATAL_ERROR "${table}: a row needs four fields separated by tabs: ${line}")
    endif()
    string(APPEND rows "    {\"${fields}\"},\n")
  endforeach()
  file(WRITE ${output}.new
"// Made by the build from resources/default_settings.tsv: edit the table, not this file.
#pragma once

struct DefaultSettingRow {
    const char* key;   // below the product key; \"-\" is the product key itself
    const char* name;
    const char* type;  // \"text\" or \"dword\"
    const char* value; // @PICTURES@ and @INSTALL@ are filled in for each user
};

inline constexpr DefaultSettingRow kDefaultSettingRows[] = {
${rows}};
")
  file(COPY_FILE ${output}.new ${output} ONLY_IF_DIFFERENT)
endfunction()

# Writes a C++ file holding every file of ASSET_DIR as bytes, for
# EmbeddedWebAssets() (src/web/web_assets.h). Run as a build step:
#   cmake -DASSET_DIR=... -DOUTPUT=... -P EmbedAssets.cmake
# Hidden files and editor leftovers (*~, *.swp, *.orig) are left out.
file(GLOB_RECURSE _files RELATIVE ${ASSET_DIR} ${ASSET_DIR}/*)
list(SORT _files)
set(_arrays "")
set(_table "")
set(_n 0)
# CMake's expressions have no {n}: sixteen "0xNN," spelled out.
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 _line)
foreach(_file ${_files})
  if(_file MATCHES "(^|/)\\." OR _file MATCHES "(~|\\.swp|\\.orig)$")
    continue()
  endif()
  file(READ ${ASSET_DIR}/${_file} _hex HEX)
  string(LENGTH "${_hex}" _hexLength)
  math(EXPR _size "${_hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  # Lines of 16 bytes, so the file stays readable by tools.
  string(REGEX REPLACE "${_line}" "\\0\n" _bytes "${_bytes}")
  # One byte more than the file (a terminator): an empty file is no empty array.
  string(APPEND _arrays "const unsigned char kAsset${_n}[] = {\n${_bytes}0x00};\n")
  string(APPEND _table "    {\"${_file}\", kAsset${_n}, ${_size}},\n")
  math(EXPR _n "${_n} + 1")
endforeach()
if(_n EQUAL 0)
  set(_body "std::span<const WebAsset> EmbeddedWebAssets() { return {}; }\n")
else()
  set(_body "const WebAsset kAssets[] = {\n${_table}};\n\n}  // namespace\n\nstd::span<const WebAsset> EmbeddedWebAssets() { return kAssets; }\n")
  set(_arrays "namespace {\n\n${_arrays}\n")
endif()
file(WRITE ${OUTPUT}
  "// Made by cmake/EmbedAssets.cmake from ${ASSET_DIR}; do not edit.\n"
  "#include \"web/web_assets.h\"\n\nnamespace velmora {\n\n${_arrays}${_body}\n}  // namespace velmora\n")

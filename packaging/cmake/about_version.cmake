# The version a person reads in the about box is the one every package must carry. The about box
# text lives in the dialog templates, so read it from there rather than keep a second copy.

# tessaly_about_version(<out-var> <dialogs-source>): sets <out-var> to the "X.Y" of the about
# box's "Tessaly Version X.Y", or fails the configuration when there is no such text.
function(tessaly_about_version out_var dialogs_source)
  file(STRINGS ${dialogs_source} version_lines REGEX "\"Tessaly Version [0-9]+(\\.[0-9]+)*\"")
  list(LENGTH version_lines count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR
      "expected one \"Tessaly Version X.Y\" text in ${dialogs_source}, found ${count}")
  endif()
  string(REGEX MATCH "Tessaly Version ([0-9]+(\\.[0-9]+)*)" _ "${version_lines}")
  set(${out_var} ${CMAKE_MATCH_1} PARENT_SCOPE)
endfunction()

# tessaly_check_about_version(<about-version> <project-version>): fails the configuration unless
# the project's version begins with the about box's, so a release can never show one version in
# its window and another in its package.
function(tessaly_check_about_version about_version project_version)
  string(REPLACE "." "\\." about_pattern "${about_version}")
  if(NOT project_version MATCHES "^${about_pattern}(\\.|$)")
    message(FATAL_ERROR "the about box says version ${about_version}, the project is "
      "${project_version}: change both together")
  endif()
endfunction()

# tessaly_about_copyright(<out-var> <dialogs-source>): sets <out-var> to the about box's
# "Copyright (C) ..." line, for the version blocks of the Windows packages.
function(tessaly_about_copyright out_var dialogs_source)
  file(STRINGS ${dialogs_source} copyright_lines REGEX "\"Copyright \\(C\\) [^\"]+\"")
  list(LENGTH copyright_lines count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one \"Copyright (C) ...\" text in ${dialogs_source}, found ${count}")
  endif()
  string(REGEX MATCH "Copyright \\(C\\) [^\"]+" copyright "${copyright_lines}")
  set(${out_var} ${copyright} PARENT_SCOPE)
endfunction()

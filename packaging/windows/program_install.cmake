# In a Windows build `cmake --install` puts Tessaly.exe at the top of the prefix, where the zips
# and the installer put it too.
if(TARGET tessaly)
  install(TARGETS tessaly RUNTIME DESTINATION .)
endif()

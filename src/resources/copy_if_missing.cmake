# Copies FROM to TO only when nothing is at TO yet: a list the user changed is kept.
if(NOT EXISTS "${TO}")
  file(COPY_FILE "${FROM}" "${TO}")
endif()

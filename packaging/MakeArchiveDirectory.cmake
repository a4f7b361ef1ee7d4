# Run by the install step: makes the shared archive directory writable by every user, and not sticky,
# so that any user can replace the archive by renaming a new file over it. Without the right to do so
# (a user installing into a prefix of their own) the installation goes on with a warning: the
# application then keeps its archive in the directory it is started from.
set(archive_dir "$ENV{DESTDIR}${CEDOLARIO_SYSTEM_DIR}")
execute_process(COMMAND mkdir -p "${archive_dir}" RESULT_VARIABLE made ERROR_QUIET)
set(changed 1)
if(made EQUAL 0)
    execute_process(COMMAND chmod 0777 "${archive_dir}" RESULT_VARIABLE changed ERROR_QUIET)
endif()
if(changed EQUAL 0)
    message(STATUS "Archive directory, writable by every user: ${archive_dir}")
else()
    message(WARNING "Could not make ${archive_dir} writable by every user; install as root to share "
                    "one archive between the users of this machine.")
endif()

# The keyring suite talks to a real Secret Service: ctest runs it through a
# script that starts a private D-Bus session with its own unlocked GNOME
# keyring (dbus-run-session, gnome-keyring-daemon --unlock). add_test puts a
# target's emulator in front of its command (policy CMP0158 OLD, which our
# minimum version gives); the suite fails at once when run without it.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set_target_properties(tst_keyringstore PROPERTIES CROSSCOMPILING_EMULATOR ${dir}/keyring-session.sh)
endif()

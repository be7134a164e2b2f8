# The media library's folders, bottom up: a file includes only from its own
# folder and those before it, so each folder can be read, built and tested
# knowing only what lies below it (docs/ARCHITECTURE.md says what each
# holds). sdk/CMakeLists.txt builds them; tests/layering/FolderOrder.cmake
# holds them to this order.
set(KESTREL_FOLDERS base files media audio sources encoders ffmpeg image slideshow2)

# The one way down-to-up: FFmpeg-free code of the lower folders makes its
# FFmpeg-backed objects through the makers this header declares without
# FFmpeg's headers; the ffmpeg folder defines them.
set(KESTREL_FOLDER_GATES ffmpeg/DTFFBridge.h)

/* stb_image_resize (Debian's libstb-dev) compiled once, for the upload copy's scaling. */
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include "stb_image_resize.h"

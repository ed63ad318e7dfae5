/* stb_image_resize2 (Debian's libstb source) compiled once, for the upload copy's scaling. */
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include "stb_image_resize2.h"

// The one instance of stb_image_write in the tool.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

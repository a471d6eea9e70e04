// The one instance of stb_image_write in the editor tests.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "tool_command.h"

const ToolCommand kToolCommands[] = {
    {"make", "turn a picture or an animated GIF into a phone animation, as the wizard does", RunMakeCommand},
    {"info", "show format, size, depth, frames, delays and transparency of a picture", RunInfoCommand},
    {"decode", "decode one frame of a picture to PPM or PAM", RunDecodeCommand},
    {"convert", "turn, mirror, crop, scale, lighten or reduce a picture and write it", RunConvertCommand},
    {"gif", "write pictures as one looping animated GIF", RunGifCommand},
    {"send", "send a file to the phone through the phone link", RunSendCommand},
    {"thumbs", "make the content page's 64 x 64 thumbnails of a folder", RunThumbsCommand},
    {nullptr, nullptr, nullptr},
};

/* The library exists for its resource only. */
int desktop_broken_font_marker;

.pragma library
// Palette and measures shared by every page of the movie.

var ink = "#1d2b3a";          // main text
var inkSoft = "#5b6b7c";      // secondary text
var inkFaint = "#93a1b0";     // disabled text and hints
var body = "#f2f5fa";         // page background
var card = "#ffffff";         // raised panels
var line = "#d5dde8";         // panel borders
var headerFrom = "#1b3f8f";   // title strip gradient, left
var headerTo = "#2b7bd1";     // title strip gradient, right
var headerInk = "#ffffff";
var accent = "#ff6a3d";       // primary action
var accentDark = "#e5512a";
var accentSoft = "#ffe7de";
var select = "#2b7bd1";       // chosen item
var selectSoft = "#e3eefb";
var hole = "#9fb0c4";         // ring around the areas the program paints itself
var danger = "#d8433b";
var ok = "#2e9d5b";

var headerHeight = 60;
var radius = 10;

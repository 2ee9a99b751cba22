#include "kit/help/lwhelp.h"

// The fixed help pages. Bodies use the help markup: "## " heading, "• " bullet, empty line.
// Key names are spelt as QKeySequence spells them on this platform.

namespace {

struct Page {
    const char *id;
    const char *title;
    const char *keywords; // separated by "|"
    const char *body;
};

const Page pages[] = {
{"start", "Getting started", "begin|new|first|overview|how|tour",
R"txt(VELK Leafwrighter makes business cards, flyers and posters ready for a home printer or a print shop. Every design goes through the same four steps.

## The four steps
• Pick: choose a size on the Start screen (US or EU business card, Letter, A4, half-letter, tabloid or a custom size), or pick a finished design on the Templates screen.
• Make it yours: click the words and type your own; change colours, fonts and icons; drop in a photo or your logo.
• Check: click the seal button to run Preflight, the print check.
• Print: click Export or choose File → Export… for a print-ready PDF, a JPEG or PNG picture, or a sheet of 10 cards with crop marks.

## Finding your way around
The Start / Templates / Design switch at the top moves between the three screens. The glowing read-out shows the design's name, its size, the side you are looking at and how many items are selected.
In the Design screen the tools sit on the left with the layers next to them, the page is in the middle and the Inspector is on the right.

New here? "Walkthrough: a business card, start to finish" takes you through a whole card step by step.)txt"},

{"walkthrough-card", "Walkthrough: a business card, start to finish",
 "tutorial|step by step|card|business card|how to|start to finish",
R"txt(This walkthrough takes one business card from a template to a printed sheet.

## 1. Start
Click Templates at the top and choose "Business Cards" on the left, or type your trade in the search box. Click a design to preview its front and back, then click "Use This Template" (or double-click the design).

## 2. Put in your words
Double-click any text and type. Press Esc or click elsewhere when you are done. You can also change the words in the Inspector's Text box. Text boxes grow taller by themselves as you type.

## 3. Turn the card over
Click "Back" above the page, or choose Page → Show Back, and put in the words for the back.

## 4. Make it look like your business
Select an item and pick a new Fill colour in the Inspector; the small squares are colours already in the design. Click "Change…" to swap an icon. To add your logo, drag the picture file from the file manager onto the page.

## 5. Check it
Keep every word inside the green dashed safe line. Click the seal button to run Preflight and fix anything yellow or red; "Show" jumps straight to the item.

## 6. Print it
At home: choose File → Export…, pick "10-up Card Sheet" and print it on card stock at 100 %, with any fit, shrink or scale option off. Cut along the crop marks.
At a print shop: export a PDF with "Include bleed" turned on and send that.

## 7. Save it
File → Save (Ctrl+S) keeps the design, pictures included, in one .velkfolio file. It is listed under Recent on the Start screen.)txt"},

{"walkthrough-flyer", "Walkthrough: a flyer, start to finish",
 "tutorial|flyer|poster|step by step|how to|start to finish|event",
R"txt(Flyers take the same path as cards, with more room for words and pictures.

## 1. Pick a starting point
Click Templates → Flyers, or search for what you need: "yard sale", "open house", "grand opening", "menu". Or start blank on the Start screen: Letter (8.5 × 11 in), A4, half-letter or tabloid.

## 2. The headline
Keep the headline short: a few words people can read from across the room. In the Inspector, Size sets how big it is, Tracking spaces the letters and Leading spaces the lines.

## 3. The details
Replace the sample details with your own, and press Delete to remove whatever you don't need. Tear-off tabs are already turned sideways: type the phone number once, copy it (Ctrl+C) and paste it (Ctrl+V) onto the other tabs.

## 4. A photo
Drag a photo onto the photo frame. Use Crop to trim it, and choose "Fill the frame" or "Show it all". The read-out should say 300 DPI or more.

## 5. Check and print
Run Preflight and fix what it finds. Then choose Export → PDF for a print shop, or Print… (Ctrl+P) to print at home.)txt"},

{"canvas", "Bleed, trim and safe area (the page guides)",
 "bleed|trim|safe|margin|edge|cut|guides|white edge|0.125",
R"txt(Three lines around the page show where the paper will be cut and which part of your design is safe.

## Trim — the thin dark line
The trim is the finished size of the piece, for example 3.5 × 2 in for a US business card. This is where the paper is cut.

## Bleed — the red dashed line, outside the trim
The bleed is an extra 0.125 inch (about 3 mm) all round. Backgrounds, colour bands and photos that touch the edge must reach this line, so that no white edge shows when the cut is a little off. The faded area outside the trim is cut off.

## Safe area — the green dashed line, inside the trim
Keep everything important (names, phone numbers, logos) inside the safe line, so nothing gets cut off.

## Turning the lines on and off
The Bleed, Trim and Safe buttons above the page (or the Page menu) switch the lines on and off. With Bleed off the bleed area is hidden too. The lines never print.)txt"},

{"tools-select", "Tool: Select / Move (V)", "select|move|resize|rotate|handles|nudge|arrow|marquee",
R"txt(The Select tool (V) picks, moves, resizes and rotates items.
• Click an item to select it; Shift-click adds it to the selection or takes it out.
• Drag on an empty part of the page to draw a selection box around several items.
• Drag a selected item to move it; hold Shift to keep the move straight, horizontal or vertical.
• Drag a square handle to resize; hold Shift to keep the proportions. Pictures and icons always keep theirs.
• Drag the round handle above the item to rotate it; hold Shift to turn in steps of 15°.
• The arrow keys nudge the selection 1 point; Shift + arrow keys nudge it 10 points.
• Delete or Backspace removes the selection, except locked items.
• Double-click text to type in it; double-click a photo frame to choose a picture.
• Esc stops typing, puts down a drawing tool or deselects.)txt"},

{"tools-text", "Tool: Text (T)", "text|type|words|write|text box|wrap|reflow",
R"txt(The Text tool (T) adds words anywhere on the page.
• Click to add a text box, or drag to make a box of a set width. Typing starts at once.
• Words wrap at the edge of the box, and the box grows taller as you type.
• Drag a side handle to change the width; the words reflow to fit.
• To change the words later, double-click the text or edit it in the Inspector's Text box.
• Fit Box to Text (in the Inspector or the Arrange menu) shrinks the box around the text.

For fonts, sizes, spacing and styles, see "Typography: fonts, size, spacing and styles".)txt"},

{"typography", "Typography: fonts, size, spacing and styles",
 "font|fonts|size|bold|italic|underline|tracking|letter spacing|leading|line spacing|align|caps|typography",
R"txt(Select a text item and use the Text section of the Inspector.
• Font: every font installed on this computer, each shown in its own style, with a search box at the top.
• Style: the styles of the chosen family.
• B and I: bold and italic, when the font has them. U underlines. AA shows all capitals; what you typed is kept, only the look changes.
• Size in points; 72 points make 1 inch. Names on cards: 9–12 pt. Contact details: 6.5–8 pt. Flyer headlines: 48–100 pt. Body text on flyers: 14–18 pt.
• Tracking spaces the letters closer together or further apart.
• Leading spaces the lines; 1.00 is normal.
• Alignment: left, center, right or justified across, and top, middle or bottom within the box.
• Colour: the colour well, or one of the quick-pick squares.

Keep anything people must read on a card at 6 pt or larger.)txt"},

{"shapes", "Tools: Rectangle, Ellipse, Polygon and Star (R, E, P, S)",
 "shape|rectangle|square|circle|ellipse|oval|polygon|hexagon|star|badge|burst|corners",
R"txt(The shape tools draw rectangles (R), ellipses (E), polygons (P) and stars (S).
• Drag with a shape tool to draw; hold Shift for a perfect square or circle. A single click makes a shape of a standard size.
• Rectangle: Corners rounds the corners.
• Polygon: Sides sets anything from 3 to 24 sides.
• Star: Points sets the number of points and Inner how deep they go. High values make a seal or a burst for "SALE" badges.
• Every shape has a Fill, a colour or a gradient, and an optional Outline.)txt"},

{"lines", "Tool: Line (L)", "line|rule|divider|dash|dashed|stroke",
R"txt(The Line tool (L) draws rules and dividers.
• Drag from one end to the other. Hold Shift to keep the line horizontal, vertical or at 45°.
• Drag either end point to change the line later.
• In the Inspector's Line section: colour, Width in points and Dashes (0 is solid).
• Good widths: 0.5–1 pt on cards, 2–4 pt on flyers. Lines thinner than 0.25 pt may not print.
• Lines snap, group, lock, copy and arrange like every other item.)txt"},

{"icons", "Tool: Icons (I)", "icon|icons|clip art|symbol|logo|graphic|art",
R"txt(VELK Leafwrighter has its own icon set, arranged in families: trades, beauty, food, music, nature, contact icons and more.
• Choose the Icon tool (I): a panel opens where you can search or scroll.
• Click an icon, then click on the page to place it, or drag to set its size.
• To swap an icon for another, click "Change…" in the Inspector.
• Icons are vector art, so they stay sharp at any size. Colour them with Fill (gradients too) and give them an optional Outline.)txt"},

{"pictures", "Pictures: drag in, crop, fit and shape (photo frames)",
 "image|picture|photo|logo|crop|mask|frame|drag|drop|dpi|resolution|circle photo",
R"txt(## Putting a picture in
• Drag a picture from the file manager onto the page, or onto a photo frame to fill it.
• Click the photo button at the foot of the tool rail, or choose File → Place Picture… (Ctrl+Shift+I).
• The Photo Frame tool (F) draws an empty frame, marked with a small landscape, for a picture to come later.
• Paste a copied picture with Ctrl+V.

## Crop
The Crop sliders Left, Right, Top and Bottom trim the picture's edges. "Reset Crop" brings back the whole picture.

## Fit
"Fill the frame" covers the whole frame and cuts off what sticks out; "Show it all" fits the whole picture inside.

## Shape (mask)
A mask gives the picture a shape: Rectangle, Rounded, Circle / oval, Hexagon, Star, Arch or Diamond. Border adds an outline.

## Sharpness
The DPI read-out shows how sharp the picture will print. Aim for 300 DPI or more; otherwise print the picture smaller or use a bigger picture file.)txt"},

{"color", "Colors, gradients and outlines",
 "color|colour|fill|gradient|outline|border|stroke|opacity|transparent|background|cmyk|rgb",
R"txt(## Fill
Fill can be None, Color, Linear or Radial. Linear runs along an Angle (90° runs from top to bottom); Radial spreads out from the centre. The colour wells open the application's colour window, where you can also set the opacity. The small squares are colours already used in the design, and the arrows button swaps the two gradient colours.

## Outline
Outline gives an item a border with its own colour, width and dashes.

## Opacity
Opacity, under Position & size, makes an item see-through; 100 % is solid.

## Background
With nothing selected, the Inspector shows the page. Its background always runs out to the bleed line.

## A note on print color
Screens show RGB colour; printers print CMYK. Bright neon colours print duller than they look on screen. For important jobs, ask the print shop for a proof.)txt"},

{"layers", "Layers and stacking order",
 "layer|layers|order|front|back|behind|z-order|stack|hide|show",
R"txt(Every item on the page is a layer. The Layers list shows the top item first.
• Click a layer to select its item; Shift-click or Ctrl-click adds more.
• Drag layers up or down to change the order.
• The eye hides an item (hidden items don't print); the lock stops it from moving.
• The buttons under the list: Bring to Front, Bring Forward, Send Backward, Send to Back and Delete.
• Arrange shortcuts: Ctrl+Shift+] to front, Ctrl+] forward, Ctrl+[ backward, Ctrl+Shift+[ to back.

Business cards keep a separate list for each side.)txt"},

{"align", "Align and distribute", "align|center|centre|line up|distribute|space evenly|spacing",
R"txt(## Align
Select the items first: Shift-click each one, or drag a selection box around them. With one item selected, the align buttons line it up with the page: left, center, right, top, middle or bottom. With several items selected, they line up with each other.

## Distribute
Distribute needs three or more items. It spaces them evenly from left to right or from top to bottom. You find it in the Inspector and under Arrange → Distribute.)txt"},

{"snapping", "Snapping, guides and grid", "snap|snapping|guide|guides|grid|ruler|magnet|line up",
R"txt(## Snapping
With Snap on, items you move or resize snap to the page edges and centre, to the safe area, to guides and to the edges and centres of other items. A pink line shows what they snapped to. Turn it on or off with Page → Snapping On / Off (Ctrl+;).

## Guides
Guides → Add Vertical Guide or Add Horizontal Guide puts a light-blue guide in the middle of the page; drag it where you need it. To remove a guide, drag it off the page, or choose Guides → Clear All Guides. Guides never print.

## Grid
The grid is 1/8 inch on cards and 1/4 inch on flyers. With Snap on, items snap to it too.)txt"},

{"group-lock", "Grouping and locking", "group|ungroup|lock|unlock|together|combine",
R"txt(## Group
Select two or more items and press Ctrl+G to group them: they then move, resize and copy together. Ctrl+Shift+G ungroups them again.

## Lock
Ctrl+L (or the lock in the Layers list) locks an item against moving, resizing and deleting. Locked items can't be picked on the page, only in the Layers list. Ctrl+Alt+L or the Unlock button unlocks them.
Lock a background, or anything else you don't want to move by accident, before you arrange the rest.)txt"},

{"undo-copy", "Undo, redo, copy and paste", "undo|redo|copy|paste|cut|duplicate|mistake|back",
R"txt(• Ctrl+Z undoes and Ctrl+Shift+Z redoes, as many steps as you need. The curved-arrow buttons at the top do the same.
• Ctrl+C copies, Ctrl+X cuts and Ctrl+V pastes.
• Pasted items land a little to the side of the original. You can paste onto the other side of a card, or into another design.
• Ctrl+D duplicates the selection.
• While you are typing in a text box, these keys work on the words instead of the items.)txt"},

{"front-back", "Front and back sides", "back|front|two sided|double sided|duplex|reverse|side",
R"txt(Business cards always have a front and a back. Switch between them with the Front / Back buttons above the page, or with Page → Show Front (Ctrl+Alt+1) and Show Back (Ctrl+Alt+2).

Flyers have one side until you click "Add a Back Side" in the Inspector (with nothing selected).

When you export, you can take both sides or just one. Both sides make a two-page PDF, or two JPEG or PNG files whose names end in " - front" and " - back".)txt"},

{"sizes", "Document sizes and changing size",
 "size|dimensions|letter|a4|tabloid|half letter|custom|inches|millimeters|mm|portrait|landscape|resize page",
R"txt(## Built-in sizes
• US business card: 3.5 × 2 in
• EU business card: 85 × 55 mm
• Letter flyer: 8.5 × 11 in
• A4 flyer: 210 × 297 mm
• Half-letter flyer: 5.5 × 8.5 in
• Tabloid poster: 11 × 17 in
• Custom sizes in inches or millimetres: Start screen → Custom…
Every size gets 0.125 in (3 mm) of bleed. Cards may be wide or tall.

## Changing size later
Choose File → Change Size… (or use the Inspector with nothing selected) to pick a new size and whether to scale everything to fit. You can undo it.)txt"},

{"export", "Exporting: PDF, JPEG, PNG and the 10-up card sheet",
 "export|pdf|jpeg|jpg|png|dpi|300|600|resolution|sheet|10-up|crop marks|save as|print ready",
R"txt(Click the Export button or choose File → Export… (Ctrl+E).

## PDF (best for printing)
With "Include bleed" the PDF is the finished size plus 0.125 in on each side (3.75 × 2.25 in for a US card); without it, exactly the finished size. Text and shapes stay vector, pictures keep all their pixels, and the two sides of a card become two pages.

## JPEG and PNG
Pictures at 300 DPI or 600 DPI: the size times the DPI, in pixels. A US card at 300 DPI is 1050 × 600 pixels, or 1125 × 675 with bleed. JPEG files are small; PNG files are exact.

## 10-up card sheet
Ten cards on one sheet with crop marks: Letter paper for US cards, A4 for EU cards. Page 1 holds the fronts, page 2 the backs, mirrored for long-edge double-sided printing. Print at 100 %, with any fit, shrink or scale option off.

The Export window's read-out shows the page or pixel size before you save.)txt"},

{"preflight", "Preflight: the print check", "preflight|check|problems|warning|errors|ready|proof",
R"txt(Preflight checks your design before it goes to print. Open it with the seal button, the "Print check" light at the bottom, or File → Preflight (Ctrl+Shift+K).

It finds:
• words outside the safe area, and text that does not fit its box;
• pictures below 300 DPI at their printed size (red below 150 DPI), and empty photo frames;
• pictures that can't be read, are too large to draw, or are cut off (red: they would print as a placeholder or only in part);
• sample text not yet replaced;
• shapes that pass the trim but stop before the bleed line;
• hidden items, and fonts missing from this computer.

"Show" jumps to the item. Yellow and red notes need fixing; green notes are reminders.)txt"},

{"printing-tips", "Printing tips (home and print shop)",
 "print|printing|paper|card stock|printer|home|shop|cut|trimmer|duplex|tips|gsm|lb",
R"txt(## At home
• Use card stock of 80–110 lb cover (about 216–300 gsm); many printers take it through the rear or manual slot.
• Print the 10-up sheet at 100 %, with any fit, shrink or scale option off.
• Print a test sheet on plain paper first and hold it against the light to see that front and back line up.
• Double-sided: print the fronts, put the sheet back in (usually flipped on the long edge), then print the backs.
• Cut with a paper trimmer, or with a metal ruler and a craft knife.
• Choose the printer's best or photo quality.

## At a print shop or online printer
Send a PDF with "Include bleed". Tell them the finished size and that it has 0.125 in of bleed, and ask for a proof. Card stock of 14–16 pt is usual for business cards.

## Flyers
Flyers print on any printer, on 28–32 lb or 100 gsm+ paper. From about 50 copies a shop is often cheaper.)txt"},

{"templates", "Using templates", "template|templates|design|sample|category|search|placeholder",
R"txt(The Templates screen holds finished designs to start from.
• Categories on the left: Business Cards, Flyers and trades such as Contractor, Hair Salon, Restaurant, Realtor, DJ / Music, Auto Shop, Landscaping, Cleaning, Photography, Church, Yard Sale and Events.
• The search box finds words in names and styles.
• Click a template to preview it (cards show both sides); double-click it or click "Use This Template".
• Every word is sample text, with made-up names and 555 phone numbers; Preflight lists what is left to replace.
• Using a template never changes the template itself.
• Templates use the included VELK Fonts and well-known typefaces of another system; those are drawn with included open stand-ins of the same style, under the same names.
• The Size buttons show every design as a US or EU business card or as a Letter, A4 or half-letter flyer.)txt"},

{"files", "Saving, opening and recent designs", "save|open|file|recent|velkfolio|backup|format|close",
R"txt(• File → Save (Ctrl+S) and Save As… (Ctrl+Shift+S). One .velkfolio file holds everything, pictures included.
• File → Open (Ctrl+O), or double-click the file in the file manager.
• Recent designs are listed on the Start screen and in File → Open Recent. The × beside an entry only takes it off the list; the file stays where it is.
• Closing or quitting with unsaved changes asks whether to save first.
• A dot after the name in the read-out means there are unsaved changes.)txt"},

{"fonts", "Fonts", "font|fonts|typeface|install|font manager|missing font|license",
R"txt(• Any font installed on this computer can be used: the font list shows them all. Fonts you add with the desktop's font manager appear after VELK Leafwrighter is started again.
• Templates name well-known typefaces of another system. VELK Leafwrighter draws them with included open stand-ins of the same style, under the same names.
• The included collection, VELK Fonts, has %1 extra families: bold display, condensed, slab, script, handwriting, elegant serif, rounded, retro, stencil and grunge. They are listed first in the font picker.
• The computer's own fonts are never copied into VELK Leafwrighter.
• Exported PDFs embed the letters used, so the print shop needs no fonts.
• A font missing from this computer is reported by Preflight and drawn with a replacement font.

For the licenses of the included fonts, see "Fonts & licenses".)txt"},

{"shortcuts", "Keyboard shortcuts", "keyboard|shortcuts|keys|hotkeys|command",
R"txt(## Tools (when not typing)
V select, T text, R rectangle, E ellipse, L line, P polygon, S star, I icon, F photo frame.

## Editing
• Ctrl+Z undo, Ctrl+Shift+Z redo
• Ctrl+C copy, Ctrl+X cut, Ctrl+V paste, Ctrl+D duplicate, Ctrl+A select all
• Delete removes the selection
• Arrow keys nudge 1 pt, Shift + arrow keys 10 pt
• Enter edits the selected text; Esc stops typing or deselects

## Arrange
• Ctrl+Shift+] bring to front, Ctrl+] bring forward, Ctrl+[ send backward, Ctrl+Shift+[ send to back
• Ctrl+G group, Ctrl+Shift+G ungroup, Ctrl+L lock, Ctrl+Alt+L unlock

## Page and view
• Ctrl+Alt+= and Ctrl+Alt+- zoom the page, Ctrl+Alt+0 fits the page
• Ctrl+Alt+1 front, Ctrl+Alt+2 back
• Ctrl+' grid, Ctrl+; snapping
• Ctrl++, Ctrl+- and Ctrl+0 zoom the interface (85 %–200 %)

## Files
• Ctrl+N new, Ctrl+Shift+N new from template, Ctrl+O open
• Ctrl+S save, Ctrl+Shift+S save as
• Ctrl+E export, Ctrl+P print, Ctrl+Shift+K preflight, Ctrl+Shift+I place picture)txt"},

{"troubleshooting", "Troubleshooting",
 "problem|trouble|help|fix|white edge|blurry|wrong size|cut off|align|font|locked|can't|issue",
R"txt(## A thin white edge shows after cutting
Stretch backgrounds and edge pictures out to the red bleed line, and export with "Include bleed". Preflight warns about shapes that stop short.

## Words got cut off
Keep all words inside the green safe line.

## The cards printed the wrong size
Print at 100 %, with any fit, shrink or scale option off.

## The back doesn't line up with the front
Use the 10-up sheet: its backs are mirrored for flipping on the long edge. Test on plain paper first, or export the backs alone (Sides: Back) and turn the paper 180°.

## A photo looks blurry
Its DPI is too low for its printed size. Make the photo smaller, crop less, or use a larger photo straight from the camera.

## Text shows in the wrong font
The font is missing from this computer. Choose another font, or install the missing one with the desktop's font manager.

## I can't select an item
It may be locked, hidden or covered by another item. Pick it in the Layers list.

## A text box got too small
Use Arrange → Fit Text Box to Text, or drag the box's handles.)txt"},
};

} // namespace

const QList<VELKHelpTopic> &LWHelp::baseTopics()
{
    static const QList<VELKHelpTopic> list = [] {
        QList<VELKHelpTopic> out;
        for (const Page &p : pages) {
            QString body = QString::fromUtf8(p.body);
            if (qstrcmp(p.id, "fonts") == 0)
                body = body.arg(LWFonts::manifest().size());
            out.append({QString::fromUtf8(p.id), QString::fromUtf8(p.title), body,
                        QString::fromUtf8(p.keywords).split(u'|')});
        }
        return out;
    }();
    return list;
}

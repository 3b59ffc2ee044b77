#!/usr/bin/env python3
"""Draws the suite's icon set: one 16x16 SVG per resource key, composed of a
few shared shapes so that the set stays consistent. Run it after changing a
shape; the SVG files it writes beside it are what the build compiles in."""
import os

INK = "#2e3436"
BLUE = "#3465a4"
SKY = "#dbe7f5"
PAPER = "#ffffff"
GREEN = "#4e9a06"
RED = "#cc0000"
AMBER = "#c17d11"
SAND = "#e9b96e"
GREY = "#888a85"


def envelope(x=1.5, y=3.5, w=13, h=9, fill=PAPER, stroke=BLUE):
    return (f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="1" fill="{fill}" stroke="{stroke}"/>'
            f'<path d="M{x} {y + .5}l{w / 2} {h * .55} {w / 2}-{h * .55}" fill="none" stroke="{stroke}"/>')


def open_envelope():
    return (f'<path d="M1.5 7.5l6.5-5 6.5 5v6h-13z" fill="{PAPER}" stroke="{BLUE}" stroke-linejoin="round"/>'
            f'<path d="M1.5 7.5l6.5 4 6.5-4" fill="none" stroke="{BLUE}"/>')


def sheet(x=3.5, y=1.5, w=9, h=13, fill=PAPER, stroke=INK, lines=True):
    fold = f'<path d="M{x + w - 3} {y}v3h3" fill="none" stroke="{stroke}"/>'
    body = f'<path d="M{x} {y}h{w - 3}l3 3v{h - 3}h-{w}z" fill="{fill}" stroke="{stroke}" stroke-linejoin="round"/>'
    text = "".join(f'<path d="M{x + 2} {y + 5.5 + 2 * i}h{w - 4}" stroke="{GREY}"/>' for i in range(3)) if lines else ""
    return body + fold + text


def folder(fill=SAND):
    return (f'<path d="M1.5 3.5h5l1.5 1.5h6.5v8.5h-13z" fill="{fill}" stroke="{AMBER}" stroke-linejoin="round"/>'
            f'<path d="M1.5 6.5h13" stroke="{AMBER}"/>')


def person(cx=8, scale=1.0, fill=SKY, stroke=BLUE):
    r = 2.5 * scale
    return (f'<circle cx="{cx}" cy="{2 + r + .5}" r="{r}" fill="{fill}" stroke="{stroke}"/>'
            f'<path d="M{cx - 5 * scale} {14.5}c0-{4 * scale} {2 * scale}-{5 * scale} {5 * scale}-{5 * scale}'
            f's{5 * scale} {1 * scale} {5 * scale} {5 * scale}z" fill="{fill}" stroke="{stroke}"/>')


def building(fill=SKY):
    windows = "".join(f'<path d="M{x} {y}h1.5" stroke="{BLUE}"/>' for x in (5, 9.5) for y in (5, 8))
    return (f'<path d="M2.5 14.5v-12h11v12z" fill="{fill}" stroke="{BLUE}"/>' + windows +
            f'<path d="M7 14.5v-3h2v3" fill="none" stroke="{BLUE}"/>')


def badge(shape, color):
    """A small sign on a white disc in the lower right corner."""
    return f'<circle cx="11.5" cy="11.5" r="4" fill="{PAPER}" stroke="{color}"/>' + shape


PLUS = f'<path d="M11.5 9.5v4M9.5 11.5h4" stroke="{GREEN}" stroke-width="1.5"/>'
TICK = f'<path d="M9.5 11.5l1.5 1.5 2.5-3" fill="none" stroke="{GREEN}" stroke-width="1.5"/>'
CROSS = f'<path d="M10 10l3 3M13 10l-3 3" stroke="{RED}" stroke-width="1.5"/>'
RIGHT = f'<path d="M9.5 11.5h4M12 10l1.5 1.5-1.5 1.5" fill="none" stroke="{GREEN}" stroke-width="1.2"/>'
STAR = f'<path d="M11.5 8.8l.8 1.8 1.9.2-1.4 1.3.4 1.9-1.7-1-1.7 1 .4-1.9-1.4-1.3 1.9-.2z" fill="{AMBER}"/>'


def arrow(path, color=GREEN):
    return f'<path d="{path}" fill="none" stroke="{color}" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"/>'


def reply():
    return arrow("M6 3.5l-4 4 4 4M2.5 7.5h6c3 0 5 2 5 5.5")


def reply_all():
    return arrow("M5 3.5l-3.5 4 3.5 4") + arrow("M8.5 3.5l-4 4 4 4M5 7.5h4c3 0 5 2 5 5.5")


def forward():
    return arrow("M10 3.5l4 4-4 4M13.5 7.5h-6c-3 0-5 2-5 5.5")


def circular(color=GREEN):
    return arrow("M13 8a5 5 0 1 1-1.5-3.6M12 1.5v3h-3", color)


def disc(color, inner=""):
    return f'<circle cx="8" cy="8" r="6.5" fill="{color}" stroke="{INK}" stroke-opacity=".4"/>' + inner


def check():
    return arrow("M2.5 8.5l3.5 3.5 7.5-8")


def cross(color=RED):
    return arrow("M3.5 3.5l9 9M12.5 3.5l-9 9", color)


def printer():
    return (f'<path d="M4.5 6.5v-5h7v5" fill="{PAPER}" stroke="{INK}"/>'
            f'<rect x="1.5" y="6.5" width="13" height="6" rx="1" fill="{GREY}" stroke="{INK}"/>'
            f'<path d="M4.5 10.5h7v4h-7z" fill="{PAPER}" stroke="{INK}"/>')


def floppy():
    return (f'<path d="M1.5 1.5h11l2 2v11h-13z" fill="{BLUE}" stroke="{INK}" stroke-linejoin="round"/>'
            f'<path d="M4.5 1.5h6v4h-6z" fill="{PAPER}"/><path d="M3.5 9.5h9v5h-9z" fill="{SKY}"/>')


def clip(color=INK):
    return arrow("M10.5 5v6.5a2.5 2.5 0 0 1-5 0V4a1.7 1.7 0 0 1 3.4 0v7", color).replace('stroke-width="2"', 'stroke-width="1.3"')


def link():
    return (arrow("M7 9.5l-2 2a2.1 2.1 0 0 1-3-3l2-2a2.1 2.1 0 0 1 3 0", BLUE)
            + arrow("M9 6.5l2-2a2.1 2.1 0 0 1 3 3l-2 2a2.1 2.1 0 0 1-3 0", BLUE)
            + arrow("M6 10l4-4", INK)).replace('stroke-width="2"', 'stroke-width="1.5"')


def book():
    return (f'<path d="M3.5 1.5h9v13h-9z" fill="{SAND}" stroke="{AMBER}"/>'
            f'<path d="M5.5 1.5v13" stroke="{AMBER}"/><circle cx="9" cy="6.5" r="1.5" fill="{PAPER}"/>'
            f'<path d="M6.8 11c0-2 1-2.6 2.2-2.6s2.2.6 2.2 2.6z" fill="{PAPER}"/>')


def magnifier(x=6.5, y=6.5):
    return (f'<circle cx="{x}" cy="{y}" r="4" fill="{SKY}" stroke="{INK}" stroke-width="1.3"/>'
            f'<path d="M{x + 3} {y + 3}l4 4" stroke="{INK}" stroke-width="2" stroke-linecap="round"/>')


def trash():
    return (f'<path d="M3.5 4.5h9l-1 10h-7z" fill="{SKY}" stroke="{INK}" stroke-linejoin="round"/>'
            f'<path d="M2 4.5h12M6 2.5h4M6.5 7v5M9.5 7v5" stroke="{INK}"/>')


def fax():
    return (f'<path d="M5.5 8.5v-7h6l2 2v5" fill="{PAPER}" stroke="{INK}"/>'
            f'<rect x="1.5" y="8.5" width="13" height="6" rx="1" fill="{GREY}" stroke="{INK}"/>'
            f'<path d="M2.5 6.5h2v2h-2z" fill="{INK}"/><path d="M9 11h1M11.5 11h1M9 13h1M11.5 13h1" stroke="{PAPER}"/>')


def clipboard():
    return (f'<rect x="2.5" y="2.5" width="11" height="12" rx="1" fill="{PAPER}" stroke="{INK}"/>'
            f'<path d="M5.5 1.5h5v2.5h-5z" fill="{GREY}" stroke="{INK}"/>'
            f'<path d="M4.5 7.5l1 1 1.5-2M4.5 11.5l1 1 1.5-2M8.5 7.5h3M8.5 11.5h3" fill="none" stroke="{GREEN}"/>')


def globe():
    return (f'<circle cx="8" cy="8" r="6.5" fill="{SKY}" stroke="{BLUE}"/>'
            f'<path d="M1.5 8h13M8 1.5c-3.5 3.5-3.5 9.5 0 13M8 1.5c3.5 3.5 3.5 9.5 0 13" fill="none" stroke="{BLUE}"/>')


def grid_sheet(color=GREEN):
    return (f'<rect x="1.5" y="2.5" width="13" height="11" fill="{PAPER}" stroke="{color}"/>'
            f'<path d="M1.5 6h13M1.5 9.5h13M6 2.5v11M10.5 2.5v11" stroke="{color}"/>')


def bang(color=RED):
    return f'<path d="M8 2v8" stroke="{color}" stroke-width="3" stroke-linecap="round"/><circle cx="8" cy="13.5" r="1.6" fill="{color}"/>'


def low_arrow():
    return arrow("M8 2v11M4 9l4 4 4-4", BLUE)


def arrow_up():
    return arrow("M8 13.5V3M3.5 7.5L8 3l4.5 4.5", BLUE)


def arrow_down():
    return arrow("M8 2.5V13M3.5 8.5L8 13l4.5-4.5", BLUE)


def question():
    return disc(BLUE, f'<path d="M5.8 6.2a2.2 2.2 0 1 1 3.2 2c-.7.4-1 .8-1 1.6v.4" fill="none" stroke="{PAPER}" stroke-width="1.6" stroke-linecap="round"/>'
                      f'<circle cx="8" cy="12.2" r="1" fill="{PAPER}"/>')


def play():
    return f'<path d="M4.5 2.5l9 5.5-9 5.5z" fill="{GREEN}" stroke="{INK}" stroke-opacity=".5" stroke-linejoin="round"/>'


def stop(color=RED):
    return f'<rect x="3" y="3" width="10" height="10" rx="1.5" fill="{color}" stroke="{INK}" stroke-opacity=".5"/>'


def flag_end():
    return (f'<path d="M3.5 14.5v-13" stroke="{INK}" stroke-width="1.3"/>'
            f'<path d="M4 2h9l-2 3 2 3h-9z" fill="{GREEN}" stroke="{INK}" stroke-opacity=".5"/>')


def copy_sheets():
    return sheet(1.5, 1.5, 9, 11, lines=False) + sheet(5.5, 3.5, 9, 11)


def dot(color):
    return f'<circle cx="8" cy="8" r="3.5" fill="{color}" stroke="{INK}" stroke-opacity=".4"/>'


def column_header(inner):
    return f'<rect x=".5" y=".5" width="15" height="15" rx="2" fill="{SKY}" stroke="{GREY}"/>' + inner


ICONS = {
    # messages and their folders
    "message": envelope(),
    "message_send": envelope() + badge(RIGHT, GREEN),
    "message_read": open_envelope(),
    "message_draft": envelope(fill=SKY) + f'<path d="M9 13l5-5 1.5 1.5-5 5H9z" fill="{SAND}" stroke="{INK}"/>',
    "message_pub": globe() + '<g transform="translate(4 5) scale(.55)">' + envelope() + "</g>",
    "public": globe(),
    "message_awr": envelope(stroke=GREY) + reply(),
    "message_awr_all": envelope(stroke=GREY) + reply_all(),
    "message_forward": envelope(stroke=GREY) + forward(),
    "message_up": arrow_up(),
    "message_down": arrow_down(),
    "message_his": envelope() + badge(f'<path d="M11.5 9.5v2h1.8" fill="none" stroke="{INK}"/>', INK),
    "fld_message": folder() + '<g transform="translate(4 6) scale(.55)">' + envelope() + "</g>",
    "fld_sent": folder() + badge(RIGHT, GREEN),
    "trash": trash(),
    "delete": cross(),
    "copy": copy_sheets(),
    "check_names": book() + badge(TICK, GREEN),
    "address_book": book(),
    "row_attachment": clip(),
    "attachment_save": clip(GREY) + badge(f'<path d="M11.5 9v4M9.7 11.5l1.8 1.8 1.8-1.8" fill="none" stroke="{BLUE}" stroke-width="1.2"/>', BLUE),
    "attachment_remove": clip(GREY) + badge(CROSS, RED),
    "link": link(),
    "open": folder() + badge(f'<path d="M9.5 13l4-4M11 9h2.5v2.5" fill="none" stroke="{GREEN}" stroke-width="1.2"/>', GREEN),
    "save": floppy(),
    "print": printer(),
    "print_preview": sheet(lines=True) + magnifier(9, 9),
    "help": question(),
    "refresh": circular(),
    "restart": circular(BLUE),
    "forward": forward(),
    "start": play(),
    "end": flag_end(),
    "stop_red": stop(),
    "check": check(),
    "error": disc(RED, f'<path d="M5.5 5.5l5 5M10.5 5.5l-5 5" stroke="{PAPER}" stroke-width="2" stroke-linecap="round"/>'),
    "forbidden": f'<circle cx="8" cy="8" r="6" fill="{PAPER}" stroke="{RED}" stroke-width="2"/><path d="M4 12l8-8" stroke="{RED}" stroke-width="2"/>',
    "priority_high": bang(),
    "priority_low": low_arrow(),
    "row_priority_h": bang(),
    "row_priority_l": low_arrow(),
    "hd_priority": column_header(f'<path d="M8 4v5" stroke="{RED}" stroke-width="2" stroke-linecap="round"/><circle cx="8" cy="12" r="1.2" fill="{RED}"/>'),
    "hd_status": column_header(f'<circle cx="8" cy="8" r="3" fill="{GREEN}"/>'),
    "hd_icon": column_header('<g transform="translate(3 3.5) scale(.62)">' + envelope() + "</g>"),
    "row_status1": dot(GREEN),
    "row_status2": dot(AMBER),
    # tasks
    "activity": clipboard(),
    "activity_assign": clipboard() + badge(f'<circle cx="11.5" cy="10.3" r="1.2" fill="{BLUE}"/><path d="M9.6 13.8c0-1.4.8-2 1.9-2s1.9.6 1.9 2z" fill="{BLUE}"/>', BLUE),
    "activity_send": clipboard() + badge(RIGHT, GREEN),
    "task_send": clipboard() + badge(TICK, GREEN),
    # faxes
    "fax": fax(),
    "fax_inbox": fax() + badge(f'<path d="M13.5 11.5h-4M11 10l-1.5 1.5 1.5 1.5" fill="none" stroke="{BLUE}" stroke-width="1.2"/>', BLUE),
    "fax_sent": fax() + badge(RIGHT, GREEN),
    "fax_pro": fax() + badge(f'<path d="M11.5 9.5v2.2l1.4 1" fill="none" stroke="{AMBER}" stroke-width="1.2"/>', AMBER),
    "fax_save": fax() + '<g transform="translate(7.5 7.5) scale(.5)">' + floppy() + "</g>",
    "fax_cover": sheet() + f'<path d="M5.5 4.5h4v2h-4z" fill="{BLUE}"/>',
    # records of the suite
    "con_tro": building(),
    "con_sed": building(PAPER) + badge(f'<circle cx="11.5" cy="11" r="1.4" fill="{RED}"/><path d="M11.5 14l-1.3-2.3h2.6z" fill="{RED}"/>', RED),
    "con_rif_per": person(),
    "mnu_anagraph": sheet(lines=False) + '<g transform="translate(4 3) scale(.5)">' + person() + "</g>",
    "user": person(),
    "group_user": person(5.5, .8, PAPER) + person(10.5, .8),
    "dip_end": person(fill=SAND, stroke=AMBER),
    "age_nti": person(fill=PAPER, stroke=GREEN),
    "sys_azi": building(SAND),
    "sys_azs": building(SAND) + badge(PLUS, GREEN),
    "sys_azt": building(SAND) + badge(STAR, AMBER),
    "doc_base": sheet(),
    "export_excel": grid_sheet(),
    "sys_mst": sheet(fill=SKY) + badge(STAR, AMBER),
    "sys_ntf": f'<path d="M8 1.5c-3 0-4.5 2.5-4.5 5v3l-2 2.5h13l-2-2.5v-3c0-2.5-1.5-5-4.5-5z" fill="{SAND}" stroke="{AMBER}" stroke-linejoin="round"/><circle cx="8" cy="13.5" r="1.5" fill="{AMBER}"/>',
    "sys_ntc": grid_sheet(BLUE) + badge(f'<path d="M9.5 10.5h4M9.5 12.5h4" stroke="{BLUE}"/>', BLUE),
    "sys_ntf_export": sheet() + badge(RIGHT, GREEN),
    "sys_ntf_import": sheet() + badge(f'<path d="M13.5 11.5h-4M11 10l-1.5 1.5 1.5 1.5" fill="none" stroke="{BLUE}" stroke-width="1.2"/>', BLUE),
    "in": arrow("M2 8h9M7.5 4.5L11 8l-3.5 3.5", BLUE) + f'<path d="M12.5 2.5h1v11h-1" fill="none" stroke="{INK}"/>',
    "out": arrow("M5 8h9M10.5 4.5L14 8l-3.5 3.5", GREEN) + f'<path d="M3.5 2.5h-1v11h1" fill="none" stroke="{INK}"/>',
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for key, body in sorted(ICONS.items()):
        with open(os.path.join(here, key + ".svg"), "w", encoding="utf-8") as out:
            out.write('<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16" viewBox="0 0 16 16">'
                      + body + "</svg>\n")


if __name__ == "__main__":
    main()

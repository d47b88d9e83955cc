#!/usr/bin/env python3
"""Writes the three built-in language files embedded in the program.

Each file is UTF-16 little-endian with the byte-order mark FF FE, every line ended by CR LF
(the last one too), and holds the sections in this order: Setting, IDD_100, IDD_136, IDD_102,
IDD_138, MENU_137, an empty line, SPECIAL_STRING. In IDS_ALLNUMBER the "\\n" is stored as the two
characters backslash and n; the catalogue turns it into a line break when it hands the text out.

Run it from anywhere: python3 resources/languages/make_language_files.py
The committed .ini files are the product; this script documents how their bytes were made.
"""
import os

# (key, English, Simplified Chinese, Traditional Chinese), grouped by section in file order.
SECTIONS = [
    ("Setting", [("Language", "English", "简体中文", "繁體中文")]),
    ("IDD_100", [("IDD_100_Title", "About", "关于", "關於"),
                 ("IDD_100_1", "OK", "确定", "確定")]),
    ("IDD_136", [("IDD_136_1000", "Read", "读取", "讀取"),
                 ("IDD_136_1001", "Write", "写入", "寫入")]),
    ("IDD_102", [("IDD_102_Title", "RFID Read|Write", "RFID读写工具", "RFID讀寫工具")]),
    ("IDD_138", [("IDD_138_1001", "Write", "写入", "寫入"),
                 ("IDD_138_1011", "Increase Progressively", "递增", "遞增"),
                 ("IDD_138_1012", "Random", "随机", "隨機"),
                 ("IDD_138_1013", "No change", "固定", "固定"),
                 ("IDD_138_1014", "Verify", "校验", "校驗")]),
    ("MENU_137", [("MENU_137_0", "File(&F)", "文件(&F)", "文檔(&F)"),
                  ("MENU_137_32771", "Read|Write", "读/写", "讀/寫"),
                  ("MENU_137_32773", "Mass Production", "量产", "量產"),
                  ("MENU_137_32772", "Exit(&X)", "退出(&X)", "退出(&X)"),
                  ("MENU_137_1", "Language(&H)", "语言(&H)", "語言(&H)"),
                  ("MENU_137_2", "Help(&H)", "帮助(&H)", "幫助(&H)"),
                  ("MENU_137_32774", "About(&A)", "关于(&A)", "關於(&A)")]),
    ("SPECIAL_STRING", [("IDS_IDLEMESSAGE", "Ready", "就绪", "就緒"),
                        ("IDS_FOLDER0", "Read|Write", "读/写", "讀/寫"),
                        ("IDS_FOLDER1", "Mass Production", "量产", "量產"),
                        ("IDS_FOLDER2", "Language", "语言", "語言"),
                        ("IDS_FOLDER3", "About", "关于", "關於"),
                        ("IDS_SMALLICON", "SMALLICON", "小图标", "小圖標"),
                        ("IDS_ICON", "ICON", "图标", "圖標"),
                        ("IDS_ALLNUMBER", "All number\\n[Include Vendor ID]",
                         "所有数字\\n[包含厂商ID]", "所有數字\\n[包含廠商ID]"),
                        ("IDS_ONLYCARDNO", "Only card number", "仅卡号", "僅卡號")]),
]

FILES = ["1.English.ini", "2.Simplified Chinese.ini", "3.Traditional Chinese.ini"]


def text_of(column):
    lines = []
    for section, keys in SECTIONS:
        if section == "SPECIAL_STRING":
            lines.append("")
        lines.append("[%s]" % section)
        lines.extend("%s=%s" % (entry[0], entry[column]) for entry in keys)
    return "".join(line + "\r\n" for line in lines)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for column, name in enumerate(FILES, start=1):
        data = b"\xff\xfe" + text_of(column).encode("utf-16-le")
        with open(os.path.join(here, name), "wb") as out:
            out.write(data)
        print("%s: %d bytes" % (name, len(data)))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes translations_table.inc: the language rows, and the stub's four texts
for each row, encoded in the row's own ANSI code page, as one C string literal
of bytes (a pointer per row would cost more than the texts' own zero bytes).

The stub draws its texts with ANSI functions, so every row is stored in the
code page that the row demands of the system. Run after editing ROWS:
    python3 stub/make_translations.py > stub/translations_table.inc
"""
import sys
import unicodedata

# (language, primary language id, code page, Initialization, Please wait, Extract to, Overwrite file?)
# Row 0 is the fallback: its id and code page are never matched.
ROWS = [
    ("English", 0x00, 0, "Initialization", "Please wait", "Extract to", "Overwrite file?"),
    ("Czech", 0x05, 1250, "Inicializace", "Čekejte prosím", "Extrahovat do", "Přepsat soubor?"),
    ("Afrikaans", 0x36, 1252, "Inisialisering", "Wag asseblief", "Ekstraheer na", "Overwrite file?"),
    ("Arabic", 0x01, 1256, "تهيئة", "الرجاء الانتظار", "استخراج إلى", "الكتابة فوق ملف؟"),
    ("Bulgarian", 0x02, 1251, "Инициализация", "Моля, изчакайте", "Извлечи в", "Запис върху файл?"),
    ("Catalan", 0x03, 1252, "Inicialització", "Espera't", "Extreu a", "Overwrite file?"),
    ("Danish", 0x06, 1252, "Initialisering", "Vent et øjeblik", "Pak ud til", "Overskrivning af fil?"),
    ("German", 0x07, 1252, "Initialisierung", "Bitte warten", "Extrahieren nach", "Datei überschreiben?"),
    ("Greek", 0x08, 1253, "Προετοιμασία", "Περιμένετε", "Εξαγωγή σε", "Αντικατάσταση αρχείου;"),
    ("Spanish", 0x0A, 1252, "Inicialización", "Espere", "Extraer en", "Sobrescribir archivo?"),
    ("Estonian", 0x25, 1257, "Lähtestamine", "Palun oodake", "Ekstraktimiskoht", "Kirjuta fail üle?"),
    ("Basque", 0x2D, 1252, "Hasieratzea", "Itxaron, mesedez", "Atera hona", "Overwrite file?"),
    ("Finnish", 0x0B, 1252, "Alustus", "Odota", "Pura kohteeseen", "Tiedoston korvaaminen?"),
    ("French", 0x0C, 1252, "Initialisation", "Veuillez patienter", "Extraire vers", "Remplacer le fichier?"),
    ("Hebrew", 0x0D, 1255, "אתחול", "נא המתן", "חלץ אל", "החלפת קובץ?"),
    ("Croatian", 0x1A, 1250, "Inicijalizacija", "Molimo pričekajte", "Izdvoji u", "Pisanje preko datoteke?"),
    ("Hungarian", 0x0E, 1250, "Inicializálás", "Kis türelmet", "Kibontás", "Felülírja a fájlt?"),
    ("Icelandic", 0x0F, 1252, "Frumstilling", "Bíddu", "Draga út í", "Skrifa yfir skrá?"),
    ("Italian", 0x10, 1252, "Inizializzazione", "Attendere", "Estrai in", "Sovrascrivere il file?"),
    ("Japanese", 0x11, 932, "初期化", "お待ちください", "展開先", "ファイルを上書きしますか?"),
    ("Korean", 0x12, 949, "초기화", "기다려 주십시오", "압축 풀기", "파일을 덮어쓰시겠습니까?"),
    ("Lithuanian", 0x27, 1257, "Inicijavimas", "Palaukite", "Išskleisti į", "Įrašyti vietoj failo?"),
    ("Latvian", 0x26, 1257, "Inicializācija", "Lūdzu, uzgaidiet", "Kur izvilkt", "Failu pārrakstīšana?"),
    ("Dutch", 0x13, 1252, "Initialisatie", "Een ogenblik geduld", "Uitpakken naar", "Bestand overschrijven?"),
    ("Norwegian", 0x14, 1252, "Initialisering", "Vent litt", "Pakk ut til", "Overskriv fil?"),
    ("Polish", 0x15, 1250, "Inicjowanie", "Proszę czekać", "Wyodrębnij do", "Czy zastąpić plik?"),
    ("Portuguese", 0x16, 1252, "Inicialização", "Aguarde", "Extrair para", "Substituir ficheiro?"),
    # The s with comma below has no place in code page 1250: it is a plain question mark.
    ("Romanian", 0x18, 1250, "Initializare", "Asteptati", "Extragere în", "Suprascriere fi?ier?"),
    ("Russian", 0x19, 1251, "Инициализация", "Пожалуйста, подождите", "Извлечь в", "Перезаписать файл?"),
    ("Slovak", 0x1B, 1250, "Inicializácia", "Čakajte, prosím", "Extrahovať do", "Prepísať súbor?"),
    ("Slovenian", 0x24, 1250, "Inicializacija", "Prosimo, počakajte", "Ekstrahiraj v",
     "Ali želite prepisati datoteko?"),
    ("Albanian", 0x1C, 1250, "Fillimit", "Të lutem, prit", "Ekstrakto te", "Overwrite file?"),
    ("Swedish", 0x1D, 1252, "Initialisering", "Vänta", "Extrahera till", "Vill du ersätta filen?"),
    ("Thai", 0x1E, 874, "การเตรียมใช้งาน", "โปรดรอสักครู่", "แยกไปยัง", "เขียนทับแฟ้ม"),
    ("Turkish", 0x1F, 1254, "Başlatma", "Lütfen bekleyin", "Ayıkla", "Dosyanın üzerine yazılsın mı?"),
    ("Ukrainian", 0x22, 1251, "Ініціалізація", "Зачекайте, будь ласка", "Видобути до", "Перезаписування файлу?"),
    ("Vietnamese", 0x2A, 1258, "Đang làm việc", "Vui Lòng Đợi", "Giải nén vào", "Overwrite file?"),
    ("Chinese (936)", 0x04, 936, "初始化", "请稍候", "解压缩到", "覆盖文件?"),
    ("Chinese (950)", 0x04, 950, "初始化", "請稍候", "解壓縮至", "置換檔案"),
]

# Vietnamese in code page 1258: letters keep their vowel marks (circumflex,
# breve, horn) precomposed, tone marks follow their letter as combining marks.
VOWEL_MARKS = {"\u0302", "\u0306", "\u031b"}


def vietnamese_1258(text):
    out = []
    for ch in text:
        parts = unicodedata.normalize("NFD", ch)
        base = parts[0] + "".join(m for m in parts[1:] if m in VOWEL_MARKS)
        tones = "".join(m for m in parts[1:] if m not in VOWEL_MARKS)
        out.append(unicodedata.normalize("NFC", base) + tones)
    return "".join(out)


def encode(text, code_page):
    if code_page == 0:
        return text.encode("ascii")
    if code_page == 1258:
        text = vietnamese_1258(text)
    return text.encode("cp%d" % code_page)


def literal(data):
    # Hex escapes only for non-ASCII bytes; a split literal keeps a following
    # hex digit out of the escape.
    parts, plain = [], True
    for b in data:
        if 32 <= b < 127 and b not in (0x22, 0x5C):
            if not plain:
                parts.append('" "')
            parts.append(chr(b))
            plain = True
        else:
            parts.append("\\x%02X" % b)
            plain = False
    return '"' + "".join(parts) + '"'


def main():
    assert len(ROWS) == 39
    pairs = [(r[1], r[2]) for r in ROWS[1:]]
    assert len(set(pairs)) == len(pairs), "language pairs must differ"
    w = sys.stdout.write
    w("// Generated by make_translations.py from its UTF-8 table; do not edit.\n")
    w("// Each row: primary language id and ANSI code page.\n")
    w("const LanguageRow kRows[kLanguageRows] = {\n")
    for name, primary, code_page, *_ in ROWS:
        w("    {0x%02X, %d},  // %s\n" % (primary, code_page, name))
    w("};\n\n")
    w("// The four texts of each row in its code page, row after row, each ended by a zero byte.\n")
    w("const char kTexts[] =\n")
    for name, primary, code_page, *texts in ROWS:
        encoded = literal(b"".join(encode(t, code_page) + b"\0" for t in texts))
        w("    %s  // %s\n" % (encoded, name))
    w("    ;\n")


if __name__ == "__main__":
    main()

-- The installed-manual database: the tables every database file of the suite carries.
-- The CD's template and every test database are made from this file; the programs never create
-- tables themselves.
--
-- Text keys compare without regard to case, as the original engine did: every text column carries
-- COLLATE NOCASE (ASCII letters), so keys, joins and orderings ignore case.
-- InsDate holds the text "YYYY-MM-DD HH:MM:SS" written by Cdate(); it sorts in time order and keeps
-- the seconds. Flags are text ("0"/"1"); a number written into them is stored as its text.
-- The file is left in the default (rollback) journal mode so that it can be read from a CD; each
-- connection switches a writable copy to WAL.

CREATE TABLE M_manage (
    Pub_No     TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    Model_desc TEXT COLLATE NOCASE,
    Model_ID   TEXT COLLATE NOCASE,
    Version    TEXT COLLATE NOCASE,
    Year       TEXT COLLATE NOCASE,
    Kubun      TEXT COLLATE NOCASE,
    Country    TEXT COLLATE NOCASE,
    Lang       TEXT COLLATE NOCASE,
    Ldup       TEXT COLLATE NOCASE,
    InsUser    TEXT COLLATE NOCASE,
    InsDate    DATETIME,
    InsPath    TEXT COLLATE NOCASE,
    Adjust_flg TEXT COLLATE NOCASE,
    Memo_txt   TEXT COLLATE NOCASE
);

CREATE TABLE M_type (
    Pub_No  TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    Pdf_flg TEXT COLLATE NOCASE
);

CREATE TABLE M_system (
    MDB_Version TEXT COLLATE NOCASE
);

CREATE TABLE M_order (
    Model_ID   TEXT COLLATE NOCASE,
    Model_desc TEXT COLLATE NOCASE,
    OrderNo    INTEGER
);

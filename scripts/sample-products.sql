-- A small product table for the label sheets of the main job, and the
-- shipments whose GS1-128 shipping labels are built from their fields:
--   sqlite3 out/products.db < scripts/sample-products.sql
-- Codes are EAN-13 without their check digit (qbarcode labels --checksum adds it).
-- One code is missing on purpose: that record is reported and skipped.
DROP TABLE IF EXISTS products;
CREATE TABLE products (
    id INTEGER PRIMARY KEY,
    code TEXT NOT NULL,
    name TEXT NOT NULL,
    price REAL NOT NULL
);
INSERT INTO products (code, name, price) VALUES
    ('590123412345', 'Whole milk 1 l', 1.19),
    ('400638133393', 'Rye bread 500 g', 2.49),
    ('871234567890', 'Apple juice 1 l', 1.79),
    ('501234567890', 'Butter 250 g', 2.29),
    ('761234567890', 'Swiss cheese 200 g', 3.95),
    ('301234567890', 'Dark chocolate 100 g', 1.49),
    ('800123456789', 'Olive oil 0.75 l', 6.90),
    ('841234567890', 'Orange marmalade 340 g', 2.75),
    ('540123456789', 'Sparkling water 1.5 l', 0.65),
    ('900123456789', 'Ground coffee 250 g', 4.49),
    ('460123456789', 'Buckwheat 1 kg', 2.10),
    ('690123456789', 'Green tea, 20 bags', 1.99),
    ('489123456789', 'Jasmine rice 1 kg', 2.59),
    ('750123456789', 'Corn tortillas, 10 pieces', 1.89),
    ('789123456789', 'Black beans 400 g', 0.99),
    ('560123456789', 'Sardines in olive oil 120 g', 1.69),
    ('594123456789', 'Plum jam 370 g', 2.35),
    ('599123456789', 'Paprika, sweet 50 g', 1.25),
    ('858123456789', 'Poppy seed roll 300 g', 3.10),
    ('383123456789', 'Pumpkin seed oil 250 ml', 5.80),
    ('520123456789', 'Greek yoghurt 500 g', 2.45),
    ('869123456789', 'Hazelnuts 200 g', 3.60),
    ('640123456789', 'Crispbread 275 g', 1.95),
    ('700123456789', 'Smoked salmon 100 g', 4.95),
    ('570123456789', 'Rye crackers 200 g', 1.55),
    ('N/A', 'Gift card (no code yet)', 25.00),
    ('978014300723', 'Paperback novel', 9.99),
    ('977123456700', 'Weekly magazine', 3.50);

-- Shipments: the GTIN of the trade item (14 digits, check digit included),
-- its batch and its expiry date (ISO; the labels write it as YYMMDD). The
-- fourth GTIN has a wrong check digit on purpose: that label is skipped with
-- "(01): check digit should be 3".
DROP TABLE IF EXISTS shipments;
CREATE TABLE shipments (
    id INTEGER PRIMARY KEY,
    gtin TEXT NOT NULL,
    batch TEXT NOT NULL,
    expiry TEXT NOT NULL,
    name TEXT NOT NULL
);
INSERT INTO shipments (gtin, batch, expiry, name) VALUES
    ('09501101530003', 'AB-123', '2026-12-31', 'Olive oil 0.75 l, 12 bottles'),
    ('04006381333931', 'L2405-A', '2026-06-30', 'Rye bread 500 g, 20 loaves'),
    ('05901234123457', '7734', '2026-03-15', 'Whole milk 1 l, 6 packs'),
    ('09501101530004', 'X1', '2026-09-01', 'Green tea, 20 bags, 24 boxes'),
    ('00036000291452', 'UPC/7', '2027-01-31', 'Paper towels, 8 rolls'),
    ('08712345678906', 'B-2024-11', '2026-11-30', 'Apple juice 1 l, 6 cartons');

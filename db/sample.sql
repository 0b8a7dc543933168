-- A small sample restaurant for the demo and for trying the service out: two halls, a menu,
-- four printers, the settings, one open order sent to the kitchen and bar in two batches and
-- billed, one closed and paid order, and their pending print jobs. Load it after schema.sql into
-- an empty database.

INSERT INTO printers (id, name, port) VALUES
    (1, 'KASSA', 0),
    (2, 'KITCHEN', 1),
    (3, 'BAR', 2),
    (4, 'CONTROL', 3);

INSERT INTO settings (name, value) VALUES
    ('oragnization', 'Кафе «Самал»'),
    ('title', 'Алматы, пр. Абая 52'),
    ('control_printer', '1'),
    ('printer_timer', '3'),
    ('printer_total', '0'),
    ('name_check_left', '40'),
    ('title_check_left', '60');

INSERT INTO cat_tables (id, name) VALUES
    (1, 'Основной зал'),
    (2, 'Летняя терраса');

INSERT INTO tables (id, name, procent, cat_tables) VALUES
    (1, '1', 10, 1),
    (2, '2', 10, 1),
    (3, 'VIP', 15, 1),
    (4, '7', 0, 2);

INSERT INTO menu (id, name) VALUES
    (1, 'Борщ'),
    (2, 'Плов по-узбекски'),
    (3, 'Манты с тыквой'),
    (4, 'Салат «Цезарь» с курицей'),
    (5, 'Шашлык из баранины на углях с луком и зеленью'),
    (6, 'Чай чёрный с молоком'),
    (7, 'Кофе американо'),
    (8, 'Лимонад домашний');

INSERT INTO type_pay (id, name) VALUES
    (1, 'Наличные'),
    (2, 'Банковская карта');

INSERT INTO users (id, name, discount) VALUES
    (1, 'Постоянный гость', 5),
    (2, 'Гость без скидки', NULL);

INSERT INTO clients (id, name, discount) VALUES
    (1, 'Постоянный гость', 5);

-- An open order at table 1 with a client's discount: batch 1 to the kitchen and the bar, then
-- batch 2 with more of a dish already ordered.
INSERT INTO zakaz (id, date_open, date_close, client, podzakaz, status, tables, waitres) VALUES
    (1, 1765360800, NULL, 1, 2, 'open', 1, 'Айгерим'),
    (2, 1765353600, 1765359000, NULL, 1, 'closed', 4, 'Данияр');

INSERT INTO podzakaz (zakaz, podzakaz, menu, kolvo, price, printer, name_menu, waitres) VALUES
    (1, 1, 1, 2, 1800, 2, 'Борщ', 'Айгерим'),
    (1, 1, 5, 1, 4500, 2, 'Шашлык из баранины на углях с луком и зеленью', 'Айгерим'),
    (1, 1, 6, 2, 600, 3, 'Чай чёрный с молоком', 'Айгерим'),
    (1, 2, 1, 1, 1800, 2, 'Борщ', 'Айгерим'),
    (1, 2, 8, 3, 900, 3, 'Лимонад домашний', 'Айгерим'),
    (2, 1, 2, 2, 2600, 2, 'Плов по-узбекски', 'Данияр'),
    (2, 1, 7, 2, 800, 3, 'Кофе американо', 'Данияр');

-- The closed order's payments: card and cash, with change handed back.
INSERT INTO pay (zakaz, type_pay, cash_pay) VALUES
    (2, 2, 5000),
    (2, 1, 2000),
    (2, 1, -200);

INSERT INTO print (type, status, zakaz, podzakaz) VALUES
    ('podzakaz', 'no', 1, 1),
    ('podzakaz', 'no', 1, 2),
    ('predcheck', 'no', 1, NULL),
    ('podzakaz', 'no', 2, 1),
    ('zakaz_close', 'no', 2, NULL);

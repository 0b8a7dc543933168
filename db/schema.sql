-- The tables of the restaurant database the print service reads (and the one column it writes,
-- print.status). Run it in the database to fill (screen for the service); tables that exist
-- already are left as they are.
--
-- Every column the service converts to a number is an INT: its text must be a plain decimal
-- integer. Texts are utf8mb4, so Cyrillic names print as stored.

CREATE TABLE IF NOT EXISTS printers (
    id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(50) NOT NULL,
    -- 0-based index of the installed printer, in the system's printer order.
    port INT NOT NULL
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS settings (
    id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(50) NOT NULL,
    value VARCHAR(255) NOT NULL DEFAULT '',
    KEY settings_name (name)
) DEFAULT CHARSET = utf8mb4;

-- The print queue: the ordering side adds jobs with status 'no', the service sets 'yes'.
CREATE TABLE IF NOT EXISTS print (
    id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    type VARCHAR(20) NOT NULL,
    status VARCHAR(5) NOT NULL DEFAULT 'no',
    zakaz INT NOT NULL,
    podzakaz INT NULL,
    KEY print_pending (status, id)
) DEFAULT CHARSET = utf8mb4;

-- Orders; dates are Unix seconds, printed as local time.
CREATE TABLE IF NOT EXISTS zakaz (
    id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    date_open INT NOT NULL,
    date_close INT NULL,
    -- users.id of a client with a discount, NULL for none.
    client INT NULL,
    podzakaz INT NULL,
    status VARCHAR(20) NOT NULL DEFAULT 'open',
    tables INT NOT NULL,
    waitres VARCHAR(100) NOT NULL DEFAULT ''
) DEFAULT CHARSET = utf8mb4;

-- Order items: one row per dish line sent to the kitchen or bar; podzakaz is the batch.
CREATE TABLE IF NOT EXISTS podzakaz (
    id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    zakaz INT NOT NULL,
    podzakaz INT NOT NULL,
    menu INT NOT NULL,
    kolvo INT NOT NULL,
    price INT NOT NULL,
    printer INT NOT NULL,
    name_menu VARCHAR(200) NOT NULL DEFAULT '',
    waitres VARCHAR(100) NOT NULL DEFAULT '',
    KEY podzakaz_order (zakaz, podzakaz)
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS menu (
    id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(200) NOT NULL
) DEFAULT CHARSET = utf8mb4;

-- Restaurant tables: procent is the service charge in per cent.
CREATE TABLE IF NOT EXISTS tables (
    id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(50) NOT NULL,
    procent INT NOT NULL DEFAULT 0,
    cat_tables INT NOT NULL
) DEFAULT CHARSET = utf8mb4;

-- Halls.
CREATE TABLE IF NOT EXISTS cat_tables (
    id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(50) NOT NULL
) DEFAULT CHARSET = utf8mb4;

-- Clients with a discount in per cent (NULL: none).
CREATE TABLE IF NOT EXISTS users (
    id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(100) NOT NULL DEFAULT '',
    discount INT NULL
) DEFAULT CHARSET = utf8mb4;

-- Opened once at start-up; only its discount column must exist.
CREATE TABLE IF NOT EXISTS clients (
    id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(100) NOT NULL DEFAULT '',
    discount INT NULL
) DEFAULT CHARSET = utf8mb4;

-- Payments: a positive cash_pay is paid with the type, a negative one is change handed back.
CREATE TABLE IF NOT EXISTS pay (
    id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    zakaz INT NOT NULL,
    type_pay INT NOT NULL,
    cash_pay INT NOT NULL,
    KEY pay_order (zakaz)
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS type_pay (
    id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(50) NOT NULL
) DEFAULT CHARSET = utf8mb4;

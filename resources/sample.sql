-- Sample business data for trying Tolvan. Build with:
--   sqlite3 sample.db < resources/sample.sql
-- Order rows are generated with deterministic formulas so every build is identical.

BEGIN;

CREATE TABLE customers (
    customer_code VARCHAR(10) PRIMARY KEY,
    company_name  NVARCHAR(100) NOT NULL,
    prefecture    NVARCHAR(10),
    phone         VARCHAR(20),
    registered    DATE
);

INSERT INTO customers (customer_code, company_name, prefecture, phone, registered) VALUES
    ('000101', '株式会社山田製作所',         '東京都',   '03-3512-4471',  '2015-04-01'),
    ('000102', '有限会社佐藤商店',           '大阪府',   '06-6245-1180',  '2016-07-15'),
    ('000103', '東和精機株式会社',           '愛知県',   '052-211-3390',  '2014-10-01'),
    ('000104', '北斗物産株式会社',           '北海道',   '011-231-5802',  '2018-02-20'),
    ('000105', '合同会社みどり企画',         '神奈川県', '045-663-2017',  '2020-06-01'),
    ('000106', '株式会社九州ロジテック',     '福岡県',   '092-711-6655',  '2017-11-10'),
    ('000107', '丸栄食品工業株式会社',       '静岡県',   '054-252-8841',  NULL),
    ('000108', '株式会社さくらシステムズ',   '東京都',   '03-6809-1122',  '2021-01-12'),
    ('000109', '有限会社高橋電機',           '埼玉県',   NULL,            '2013-05-30'),
    ('000110', 'ＡＢＣ商事株式会社',         '千葉県',   '043-224-7310',  '2019-09-01'),
    ('000111', '株式会社伊藤印刷',           '京都府',   '075-351-0248',  '2012-03-15'),
    ('000112', '瀬戸内マリン株式会社',       '広島県',   '082-243-9015',  '2022-04-01'),
    ('000113', '株式会社東北アグリ',         '宮城県',   '022-262-4430',  '2018-08-08'),
    ('000114', '𠮷田工務店株式会社',          '兵庫県',   '078-391-2260',  '2016-12-01'),
    ('000115', '株式会社中村ファーマシー',   '東京都',   '03-5408-7731',  '2023-02-14'),
    ('000116', '新潟米穀株式会社',           '新潟県',   '025-228-1907',  '2011-06-20'),
    ('000117', '株式会社ミライ・テクノ',     '神奈川県', '044-520-3364',  NULL),
    ('000118', '有限会社小林家具',           '長野県',   '026-234-5518',  '2015-10-05'),
    ('000119', '沖縄トラベルサービス株式会社', '沖縄県', '098-861-4472',  '2020-11-30'),
    ('000120', '株式会社加藤建設',           '愛知県',   '052-961-0083',  '2010-04-01'),
    ('000121', '株式会社アオバ・ラボ',       '宮城県',   NULL,            '2024-01-09'),
    ('000122', '松本精密工業株式会社',       '長野県',   '0263-32-1150',  '2014-07-07'),
    ('000123', '株式会社ハーモニー音響',     '東京都',   '03-3830-2291',  '2019-03-01'),
    ('000124', '四国製紙株式会社',           '愛媛県',   '089-941-6620',  '2012-09-18'),
    ('000125', '株式会社ひまわり保育サービス', '埼玉県', '048-822-3017',  '2022-10-03'),
    ('000126', '有限会社渡辺鉄工所',         '大阪府',   '06-6781-4402',  '2009-02-27'),
    ('000127', '株式会社グリーンエナジー岡山', '岡山県', '086-225-7788',  NULL),
    ('000128', '金沢伝統工芸株式会社',       '石川県',   '076-232-0915',  '2017-05-22'),
    ('000129', '株式会社オーシャン物流',     NULL,       '0120-555-019',  '2024-06-17'),
    ('000130', '株式会社鈴木総合研究所',     '東京都',   '03-3263-5540',  '2021-08-02');

CREATE TABLE products (
    product_code VARCHAR(8) PRIMARY KEY,
    name         NVARCHAR(100) NOT NULL,
    unit_price   DECIMAL(12,2) NOT NULL,
    category     NVARCHAR(20)
);

INSERT INTO products (product_code, name, unit_price, category) VALUES
    ('00001001', 'A4コピー用紙 (500枚×5冊)',     2480.00, '紙製品'),
    ('00001002', 'B5再生紙ノート 10冊パック',     980.00, '紙製品'),
    ('00001003', '封筒 長形3号 クラフト 100枚',   650.50, '紙製品'),
    ('00001004', '感熱ロール紙 58mm×30巻',       3150.00, '紙製品'),
    ('00002001', 'ボールペン 黒 0.5mm (10本入)',  880.00, '事務用品'),
    ('00002002', '付箋 75×75mm 黄 (10パッド)',    742.50, '事務用品'),
    ('00002003', 'クリアファイル A4 100枚',       1320.00, '事務用品'),
    ('00002004', 'ホッチキス針 No.10 (20箱)',       396.00, '事務用品'),
    ('00002005', '修正テープ 5mm幅',               198.00, '事務用品'),
    ('00002006', 'ファイルボックス A4 青',          455.00, '事務用品'),
    ('00003001', '段ボール箱 100サイズ (20枚)',   2860.00, '梱包資材'),
    ('00003002', 'OPPテープ 48mm×100m (50巻)',    6980.00, '梱包資材'),
    ('00003003', '緩衝材 エアキャップ 600mm×42m',  1980.00, '梱包資材'),
    ('00003004', 'ストレッチフィルム 500mm',       1540.00, '梱包資材'),
    ('00004001', '電卓 12桁 卓上型',               2750.00, 'OA機器'),
    ('00004002', 'レーザープリンター用トナー 黒', 12800.00, 'OA機器'),
    ('00004003', 'ワイヤレスマウス',               1980.00, 'OA機器'),
    ('00004004', 'USBメモリ 64GB',                 1480.00, 'OA機器'),
    ('00004005', '液晶ディスプレイ 24型',         19800.00, 'OA機器'),
    ('00005001', 'オフィスチェア メッシュ',       24800.00, '什器'),
    ('00005002', 'スチール書庫 両開き',           38500.00, '什器'),
    ('00005003', '会議テーブル 1800×900',         45100.00, '什器'),
    ('00006001', 'ペットボトル緑茶 500ml (24本)',  2138.40, '飲料'),
    ('00006002', 'ドリップコーヒー 100袋',         3456.00, NULL);

CREATE TABLE orders (
    order_id      INTEGER PRIMARY KEY,
    customer_code VARCHAR(10) NOT NULL REFERENCES customers(customer_code),
    order_date    DATE NOT NULL,
    note          TEXT
);

-- 400 orders over two fiscal years; the last two customers never order,
-- which keeps outer joins interesting.
INSERT INTO orders (order_id, customer_code, order_date, note)
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400),
c AS (
    SELECT customer_code, row_number() OVER (ORDER BY customer_code) - 1 AS k
    FROM customers
)
SELECT
    10000 + i,
    c.customer_code,
    date('2023-04-01', '+' || ((i - 1) * 730 / 400) || ' days'),
    CASE i % 10
        WHEN 1 THEN '午前中着希望'
        WHEN 2 THEN '納品書同梱、請求書は別送'
        WHEN 3 THEN '"至急" 扱いでお願いします'
        WHEN 4 THEN '担当: 鈴木' || char(10) || '再配達時は事前に電話連絡'
        WHEN 6 THEN ''
        WHEN 7 THEN '分納可 (2回まで)'
        WHEN 8 THEN 'ギフト包装・のし「御礼」'
        ELSE NULL
    END
FROM n JOIN c ON c.k = (i * 11 + i / 13) % 28
ORDER BY i;

CREATE TABLE order_lines (
    order_id     INTEGER NOT NULL REFERENCES orders(order_id),
    line_no      INTEGER NOT NULL,
    product_code VARCHAR(8) NOT NULL REFERENCES products(product_code),
    quantity     INTEGER NOT NULL,
    amount       DECIMAL(12,2) NOT NULL,
    PRIMARY KEY (order_id, line_no)
);

-- 1 to 5 lines per order (about 1,200 rows); products within one order differ.
INSERT INTO order_lines (order_id, line_no, product_code, quantity, amount)
WITH RECURSIVE l(order_id, line_no) AS (
    SELECT order_id, 1 FROM orders
    UNION ALL
    SELECT order_id, line_no + 1 FROM l
    WHERE line_no < 1 + (order_id * 7) % 5
),
p AS (
    SELECT product_code, unit_price,
           row_number() OVER (ORDER BY product_code) - 1 AS k
    FROM products
),
q AS (
    SELECT l.order_id, l.line_no, p.product_code, p.unit_price,
           1 + (l.order_id * 13 + l.line_no * 7) % 20 AS quantity
    FROM l JOIN p ON p.k = (l.order_id * 11 + l.line_no * 5) % 24
)
SELECT order_id, line_no, product_code, quantity, round(quantity * unit_price, 2)
FROM q
ORDER BY order_id, line_no;

CREATE TABLE "sales targets" (
    year          INTEGER NOT NULL,
    month         INTEGER NOT NULL,
    department    NVARCHAR(20) NOT NULL,
    target_amount DECIMAL(12,2),
    PRIMARY KEY (year, month, department)
);

-- Fiscal years start in April; one future month is left without a target.
INSERT INTO "sales targets" (year, month, department, target_amount)
WITH RECURSIVE m(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM m WHERE k < 23),
d(department, base) AS (
    VALUES ('営業一部', 1200000.00), ('営業二部', 850000.00), ('通販事業部', 430000.00)
)
SELECT
    2023 + (k + 3) / 12,
    (k + 3) % 12 + 1,
    department,
    CASE WHEN k = 23 AND department = '通販事業部' THEN NULL
         ELSE round(base * (1.0 + 0.05 * (k / 12)) + (k % 12) * 12500.50, 2)
    END
FROM m, d
ORDER BY 1, 2, 3;

CREATE VIEW order_totals AS
SELECT
    o.order_id,
    o.order_date,
    o.customer_code,
    c.company_name,
    count(l.line_no)            AS line_count,
    coalesce(sum(l.quantity), 0) AS total_quantity,
    coalesce(sum(l.amount), 0)   AS total_amount
FROM orders o
JOIN customers c ON c.customer_code = o.customer_code
LEFT JOIN order_lines l ON l.order_id = o.order_id
GROUP BY o.order_id, o.order_date, o.customer_code, c.company_name;

COMMIT;
